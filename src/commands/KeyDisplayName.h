#pragma once

#include <cstdint>
#include <string>

namespace ks {

// The display name of the key with virtual-key code `vk` (1 to 255), as the
// editor shows keystroke commands; empty for a code that names no key.
std::string keyDisplayName(std::uint32_t vk);

}  // namespace ks
