#include "platform/wayland/SpareKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <optional>
#include <utility>

namespace ks::wayland {
namespace {

// The symbols section of a spliced keymap starts its name with this; the
// section name is all of a keymap's own text that survives the compositor
// compiling the keymap and writing it out again for its clients.
constexpr std::string_view kSplicedMark = "keystrider_spare_keys";
constexpr std::uint32_t kFirstKeycode = 9;  // evdev's first key (Esc)
constexpr std::uint32_t kLastKeycode = 255;

// Where the body of the section opened by `keyword` ends (its closing
// brace), skipping strings and comments; nothing when it has none.
std::optional<std::size_t> sectionEnd(std::string_view text, std::string_view keyword) {
    std::size_t at = text.find(keyword);
    if (at == std::string_view::npos) return std::nullopt;
    int depth = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            at = text.find('"', at + 1);
            if (at == std::string_view::npos) return std::nullopt;
        } else if (c == '/' && text.substr(at, 2) == "//") {
            at = text.find('\n', at);
            if (at == std::string_view::npos) return std::nullopt;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return at;
        }
    }
    return std::nullopt;
}

std::string keysymName(char32_t ch) {
    char name[64] = {};
    xkb_keysym_get_name(xkb_utf32_to_keysym(ch), name, sizeof name);
    return name;
}

std::string symbolsLine(const SpareKeyBinding& binding) {
    // A lone level stands on both, so that Shift still held from the text
    // typed before types the same character.
    const char32_t plain = binding.levels[0] != 0 ? binding.levels[0] : binding.levels[1];
    const char32_t shifted = binding.levels[1] != 0 ? binding.levels[1] : binding.levels[0];
    return "\tkey <" + binding.key.name + "> { type = \"TWO_LEVEL\", symbols[Group1] = [ " +
           keysymName(plain) + ", " + keysymName(shifted) + " ] };\n";
}

}  // namespace

std::vector<FreeKeycode> freeKeycodes(xkb_keymap* keymap) {
    std::vector<FreeKeycode> free;
    for (std::uint32_t keycode = kFirstKeycode; keycode <= kLastKeycode; ++keycode) {
        const char* name = xkb_keymap_key_get_name(keymap, keycode);
        if (name == nullptr) {
            free.push_back({keycode, "K" + std::to_string(keycode), false});
        } else if (xkb_keymap_num_layouts_for_key(keymap, keycode) == 0) {
            free.push_back({keycode, name, true});
        }
    }
    return free;
}

bool isKeyboardLayout(xkb_keymap* keymap) {
    // The letter rows: ten keys each of the digits and the top row, nine of
    // the home row, seven of the bottom row; a layout may leave a few empty.
    constexpr std::pair<char, int> kRows[] = {{'E', 10}, {'D', 10}, {'C', 9}, {'B', 7}};
    constexpr int kEnough = 30;
    int typing = 0;
    for (const auto& [row, keys] : kRows) {
        for (int column = 1; column <= keys; ++column) {
            const std::string name =
                std::string("A") + row + (column < 10 ? "0" : "") + std::to_string(column);
            const xkb_keycode_t keycode = xkb_keymap_key_by_name(keymap, name.c_str());
            if (keycode != XKB_KEYCODE_INVALID &&
                xkb_keymap_num_layouts_for_key(keymap, keycode) > 0)
                ++typing;
        }
    }
    return typing >= kEnough;
}

Expected<std::string> spliceSpareKeys(std::string_view keymapText,
                                      const std::vector<SpareKeyBinding>& bindings) {
    const auto keycodesEnd = sectionEnd(keymapText, "xkb_keycodes");
    const auto symbolsEnd = sectionEnd(keymapText, "xkb_symbols");
    const std::size_t symbolsName = keymapText.find("xkb_symbols");
    const std::size_t nameQuote = keymapText.find('"', symbolsName);
    if (!keycodesEnd || !symbolsEnd || nameQuote == std::string_view::npos ||
        nameQuote > *symbolsEnd || *keycodesEnd > symbolsName) {
        return Result::failure("the keymap has no keycodes or symbols to add to");
    }
    std::string names, symbols;
    for (const SpareKeyBinding& binding : bindings) {
        if (!binding.key.named) {
            names +=
                "\t<" + binding.key.name + "> = " + std::to_string(binding.key.keycode) + ";\n";
        }
        if (binding.levels != std::array<char32_t, 2>{}) symbols += symbolsLine(binding);
    }
    // Pieces are put in from the end backwards, so the positions found stay right.
    std::string text(keymapText);
    text.insert(*symbolsEnd, symbols);
    if (!isSplicedKeymap(keymapText)) text.insert(nameQuote + 1, std::string(kSplicedMark) + "_");
    text.insert(*keycodesEnd, names);
    return text;
}

bool isSplicedKeymap(std::string_view keymapText) {
    const std::size_t symbols = keymapText.find("xkb_symbols");
    return symbols != std::string_view::npos &&
           keymapText.substr(symbols).find(kSplicedMark) < keymapText.substr(symbols).find('{');
}

}  // namespace ks::wayland
