#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/KeyDisplayName.h"
#include "platform/KeyLayout.h"

namespace ks {

class Keymap;

// The answer of KeyCodeToHotKeyText for a key with neither a character nor a
// name: one character with code 255.
inline constexpr const char* kUnknownHotKeyText = "\u00FF";

// The display name of a virtual-key code 1..255 ("aA", "RETURN", "NP 5"), or
// "" for a code in no row of the key-name table.
std::string keyDisplayNameOfKey(const KeyLayout& layout, std::uint32_t vk);

// The display names of the keymap's layout in force when a name is asked for.
class KeymapKeyNames final : public KeyDisplayNames {
public:
    explicit KeymapKeyNames(Keymap& keymap) : keymap_(keymap) {}
    std::string keyDisplayName(std::uint32_t vk) override;

private:
    Keymap& keymap_;
};

// Every display name of the key-name table, in the table's order.
std::vector<std::string> keyDisplayNames();

// The key's character, else its name, else kUnknownHotKeyText.
std::string KeyCodeToHotKeyText(const KeyLayout& layout, std::uint32_t vk);

// Reads back a display name, a key name or a single character: the
// virtual-key code, or -1 for the empty name.
int KeyNameToCode(const KeyLayout& layout, std::string_view name);

}  // namespace ks
