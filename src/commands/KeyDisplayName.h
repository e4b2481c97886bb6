#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ks {

// The display name of the key with virtual-key code `vk` (1 to 255), as the
// editor shows keystroke commands; empty for a code that names no key.
// Names depend on the keyboard layout, so the program sets where they come
// from once its keymap is open; until then no key has a name.
std::string keyDisplayName(std::uint32_t vk);

using KeyDisplayNameSource = std::function<std::string(std::uint32_t vk)>;
void setKeyDisplayNameSource(KeyDisplayNameSource source);

}  // namespace ks
