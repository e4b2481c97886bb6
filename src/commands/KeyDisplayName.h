#pragma once

#include <cstdint>
#include <string>

namespace ks {

// The display names of keys, as the editor shows keystroke commands. Names
// depend on the keyboard layout, so the program's keymap gives them; the
// application owns the one it hands to the editors.
class KeyDisplayNames {
public:
    // The name of the key with virtual-key code `vk` (1 to 255); empty for a
    // code that names no key.
    virtual std::string keyDisplayName(std::uint32_t vk) = 0;

protected:
    ~KeyDisplayNames() = default;
};

}  // namespace ks
