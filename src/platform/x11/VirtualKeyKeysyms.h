#pragma once

#include <cstdint>

namespace ks::x11 {

// The keysym of a virtual-key code for the common keys (letters, digits,
// function, editing, navigation, modifier, keypad and US punctuation keys);
// 0 for any other code. Stands in until the shared keymap layer maps codes.
unsigned long fallbackKeysymForVirtualKey(std::uint8_t virtualKey);

}  // namespace ks::x11
