#pragma once

#include <cstdint>

namespace ks::x11 {

// The X keysym of the key a hot key names by its virtual-key code, or 0
// (NoSymbol) for a code no hot key can use. Letters map to their lower-case
// keysym, since that is the symbol of the key's first level.
//
// Only the keys hot keys take: letters, digits, F1 to F24, the named keys,
// the keypad and the punctuation keys of a United States layout.
unsigned long hotKeyKeysym(std::uint32_t vk);

}  // namespace ks::x11
