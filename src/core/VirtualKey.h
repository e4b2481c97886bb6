#pragma once

#include <cstdint>

namespace ks {

// The virtual-key codes the program names: recordings, command ids 1 to 255
// and the key-code layer all number keys this way.
inline constexpr std::uint8_t kVkCancel = 0x03;
inline constexpr std::uint8_t kVkBack = 0x08;
inline constexpr std::uint8_t kVkReturn = 0x0D;
inline constexpr std::uint8_t kVkShift = 0x10;
inline constexpr std::uint8_t kVkControl = 0x11;
inline constexpr std::uint8_t kVkMenu = 0x12;  // Alt
inline constexpr std::uint8_t kVkPause = 0x13;
inline constexpr std::uint8_t kVkEscape = 0x1B;
inline constexpr std::uint8_t kVkLeftWindows = 0x5B;
inline constexpr std::uint8_t kVkRightWindows = 0x5C;
inline constexpr std::uint8_t kVkF2 = 0x71;
inline constexpr std::uint8_t kVkLeftControl = 0xA2;
inline constexpr std::uint8_t kVkRightControl = 0xA3;
inline constexpr std::uint8_t kVkRightAlt = 0xA5;

}  // namespace ks
