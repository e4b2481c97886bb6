#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/KeyLayout.h"

namespace ks {

// One shift level of a key: its keysym and the shift-state bits (kNeedsShift
// and so on) that reach it.
struct LevelSymbol {
    std::uint32_t keysym = 0;
    std::uint8_t state = 0;
};

// One key of a keymap in the layout in force: keycode, XKB key name ("AE01",
// "RTRN") and its levels, the plain level first. A key without symbols has
// no levels. Keycodes are XKB's (the evdev code plus 8), as on X11.
struct KeyDescription {
    std::uint8_t keycode = 0;
    std::string name;
    std::vector<LevelSymbol> levels;
};

// Maps keys to the virtual-key numbering: letters by the letter they type,
// digits and punctuation by where their key sits on a US keyboard, the
// numeric pad by key name, and the named keys by their keysym.
KeyLayout buildKeyLayout(const std::vector<KeyDescription>& keys);

// The keys of a compiled keymap (one from an X server, or the text a Wayland
// compositor sends with wl_keyboard.keymap) in one of its layouts.
std::vector<KeyDescription> describeKeys(xkb_keymap* keymap, xkb_layout_index_t layout);

// The layout of libxkbcommon's default keymap: the XKB_DEFAULT_RULES,
// _MODEL, _LAYOUT, _VARIANT and _OPTIONS settings, else a US keyboard.
// Empty when even that cannot be compiled.
KeyLayout defaultKeyLayout();

// The masks of the modifiers that shift-state bits are made of, in one
// keymap's numbering.
struct ModifierMasks {
    std::uint32_t shift = 0;
    std::uint32_t capsLock = 0;
    std::uint32_t control = 0;
};

// The shift-state bits of the cheapest of the modifier sets that select one
// level of a key, or none when each needs Caps Lock (nothing is typed through
// those). A modifier beyond Shift and Control (AltGr's level-three shift) is
// reached with Ctrl and Alt together.
std::optional<std::uint8_t> cheapestLevelState(std::span<const std::uint32_t> sets,
                                               const ModifierMasks& masks);

// The keycode of a virtual key in `layout`, or 0 when it has no key.
unsigned keycodeOfVk(const KeyLayout& layout, std::uint32_t vk);

}  // namespace ks
