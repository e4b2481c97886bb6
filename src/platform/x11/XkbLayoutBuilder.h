#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/KeyLayout.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// One shift level of a key: its keysym and the shift-state bits (kNeedsShift
// and so on) that reach it.
struct LevelSymbol {
    std::uint32_t keysym = 0;
    std::uint8_t state = 0;
};

// One X key in the layout group in force: keycode, XKB key name ("AE01",
// "RTRN") and its levels, the plain level first. A key without symbols has
// no levels.
struct KeyDescription {
    std::uint8_t keycode = 0;
    std::string name;
    std::vector<LevelSymbol> levels;
};

// Maps X keys to the virtual-key numbering: letters by the letter they type,
// digits and punctuation by where their key sits on a US keyboard, the
// numeric pad by key name, and the named keys by their keysym.
KeyLayout buildKeyLayout(const std::vector<KeyDescription>& keys);

// The keys of the server's current keyboard map, in the active group.
std::vector<KeyDescription> describeKeys(Display* display);

// The layout of the server's current keyboard map.
KeyLayout currentKeyLayout(Display* display);

// The X keycode of a virtual key in `layout`, or 0 when it has no key.
unsigned keycodeOfVk(const KeyLayout& layout, std::uint32_t vk);

}  // namespace ks::x11
