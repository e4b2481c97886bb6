#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"

struct xkb_keymap;

namespace ks::wayland {

// A keycode that types nothing in a keymap: its number and the name the
// keymap knows it by; a number the keymap has no key for gets a name made up
// for it, which no keymap of xkeyboard-config uses.
struct FreeKeycode {
    std::uint32_t keycode = 0;
    std::string name;
    bool named = false;
    bool operator==(const FreeKeycode&) const = default;
};

// The keycodes up to 255 (so that X programs under Xwayland can use them
// too) that type nothing in `keymap`, in increasing order.
std::vector<FreeKeycode> freeKeycodes(xkb_keymap* keymap);

// Characters lent to a free key: plain and with Shift, 0 for none.
struct SpareKeyBinding {
    FreeKeycode key;
    std::array<char32_t, 2> levels{};
};

// The keymap text with the bindings added: a name for each key that had
// none, and each key's characters. The symbols section is renamed so that
// the keymap reads back as the program's own (isSplicedKeymap) after the
// compositor has compiled and written it out again. Fails on a text
// without the sections to add to.
Expected<std::string> spliceSpareKeys(std::string_view keymapText,
                                      const std::vector<SpareKeyBinding>& bindings);

// Whether `keymap` is a keyboard's layout: one that types on the keys of the
// main block (AE01, AD01 ... by their names). A tool's throwaway keymap,
// with its own names for a few keys (wtype's), is not.
bool isKeyboardLayout(xkb_keymap* keymap);

// Whether a keymap text came from spliceSpareKeys.
bool isSplicedKeymap(std::string_view keymapText);

}  // namespace ks::wayland
