#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace ks {

// Shift-state bits of a character's key, in the high byte of a key-scan
// result. A key reached through AltGr reports Ctrl and Alt together.
inline constexpr std::uint8_t kNeedsShift = 1;
inline constexpr std::uint8_t kNeedsCtrl = 2;
inline constexpr std::uint8_t kNeedsAlt = 4;

// What a key types at each level (kPlainLevel and on); 0 where a level types
// nothing. A numeric-pad key's Shift level is what it types with Num Lock on;
// a dead key types the combining mark it puts on the next character.
struct KeyCharacters {
    std::array<char32_t, 4> levels{};
    bool pad = false;
};
inline constexpr std::size_t kPlainLevel = 0;
inline constexpr std::size_t kShiftLevel = 1;
inline constexpr std::size_t kAltGrLevel = 2;
inline constexpr std::size_t kShiftAltGrLevel = 3;

// The three directions of the virtual-key mapping.
enum class MapType : std::uint32_t {
    VkToScan = 0,  // virtual key -> scan code
    ScanToVk = 1,  // scan code -> virtual key
    VkToChar = 2,  // virtual key -> unshifted character (letters in upper case)
};

// One snapshot of the keyboard layout in virtual-key terms: which key types
// which character, and the scan code of every key. Scan codes are the
// platform's key numbers (on X11 the keycode less 8). A value of 0 means
// "none" in every table. Everything that turns virtual keys into keys or
// keys into virtual keys (typing, the key and lock commands, the recorder,
// the player, hot keys) goes through one of these, so all of them agree with
// the key names the user sees.
struct KeyLayout {
    std::array<std::uint8_t, 256> scanOfVk{};
    // A numeric-pad key reads back as its Num-Lock-off meaning (pad 1 is End).
    std::array<std::uint8_t, 256> vkOfScan{};
    // The numeric-pad keys with Num Lock on: VK_NUMPAD0..9 and VK_DECIMAL.
    std::array<std::uint8_t, 256> padVkOfScan{};
    std::array<char32_t, 256> charOfVk{};
    // Character -> virtual key in the low byte, shift state in the high byte.
    std::unordered_map<char32_t, std::uint16_t> keyOfChar;
    // By scan code, for reading back what a person types.
    std::array<KeyCharacters, 256> charsOfScan{};

    // The key that types `ch` with its shift state, or -1 when no key does.
    std::int16_t VkKeyScan(char32_t ch) const {
        const auto found = keyOfChar.find(ch);
        return found == keyOfChar.end() ? std::int16_t{-1}
                                        : static_cast<std::int16_t>(found->second);
    }

    std::uint32_t MapVirtualKey(std::uint32_t code, MapType type) const {
        if (code > 255) return 0;
        switch (type) {
            case MapType::VkToScan: return scanOfVk[code];
            case MapType::ScanToVk: return vkOfScan[code];
            case MapType::VkToChar: return charOfVk[code];
        }
        return 0;
    }

    // The virtual key of a key pressed with Num Lock on or off, as recorded.
    std::uint8_t vkOfPressedKey(std::uint8_t scan, bool numLockOn) const {
        return numLockOn && padVkOfScan[scan] != 0 ? padVkOfScan[scan] : vkOfScan[scan];
    }

    // The scan code to press for `vk`; a code with no key of its own (0, or
    // a key this layout lacks, such as a media key) is pressed by `scan`.
    std::uint8_t scanToPress(std::uint8_t vk, std::uint8_t scan) const {
        return vk != 0 && scanOfVk[vk] != 0 ? scanOfVk[vk] : scan;
    }
};

}  // namespace ks
