#include "keys/KeyNames.h"

#include <array>
#include <optional>

#include "core/Utf8.h"
#include "platform/Keymap.h"

namespace ks {
namespace {

// Scan code of the key in the middle of the numeric pad, whose virtual key
// (CENTER) depends on the platform.
constexpr std::uint32_t kCenterScan = 76;

// Where a row of the key-name table takes its code from.
enum class CodeSource { Fixed, Layout, CenterKey };

struct Row {
    CodeSource source;
    std::uint32_t value;  // the code, or the character whose key it is
    const char* name;
    bool named;  // a key name as opposed to a two-character display name
};

constexpr Row fixed(std::uint32_t code, const char* name) {
    return {CodeSource::Fixed, code, name, true};
}
constexpr Row key(std::uint32_t code, const char* name) {
    return {CodeSource::Fixed, code, name, false};
}
constexpr Row ofChar(char ch, const char* name) {
    return {CodeSource::Layout, static_cast<std::uint32_t>(ch), name, false};
}

// In display order. The named rows, in this order, are also the names that
// KeyNameToCode compares and KeyCodeToHotKeyText gives.
constexpr std::array kRows{
    fixed(27, "ESC"),      ofChar('1', "1!"),
    ofChar('2', "2@"),     ofChar('3', "3#"),
    ofChar('4', "4$"),     ofChar('5', "5%"),
    ofChar('6', "6^"),     ofChar('7', "7&"),
    ofChar('8', "8*"),     ofChar('9', "9("),
    ofChar('0', "0)"),     ofChar('-', "-_"),
    ofChar('=', "=+"),     fixed(8, "BACKSPACE"),
    fixed(9, "TAB"),       key(81, "qQ"),
    key(87, "wW"),         key(69, "eE"),
    key(82, "rR"),         key(84, "tT"),
    key(89, "yY"),         key(85, "uU"),
    key(73, "iI"),         key(79, "oO"),
    key(80, "pP"),         ofChar('[', "[{"),
    ofChar(']', "]}"),     fixed(13, "RETURN"),
    fixed(17, "CTRL"),     fixed(91, "WINL"),
    fixed(92, "WINR"),     fixed(93, "APPS"),
    key(65, "aA"),         key(83, "sS"),
    key(68, "dD"),         key(70, "fF"),
    key(71, "gG"),         key(72, "hH"),
    key(74, "jJ"),         key(75, "kK"),
    key(76, "lL"),         ofChar(';', ";:"),
    ofChar('\'', "'\""),   ofChar('`', "`~"),
    fixed(16, "SHIFT"),    ofChar('\\', "\\|"),
    key(90, "zZ"),         key(88, "xX"),
    key(67, "cC"),         key(86, "vV"),
    key(66, "bB"),         key(78, "nN"),
    key(77, "mM"),         ofChar(',', ",<"),
    ofChar('.', ".>"),     ofChar('/', "/?"),
    fixed(44, "PRTSCR"),   fixed(18, "ALT"),
    fixed(32, "SPACE"),    fixed(20, "CAPS"),
    fixed(112, "F1"),      fixed(113, "F2"),
    fixed(114, "F3"),      fixed(115, "F4"),
    fixed(116, "F5"),      fixed(117, "F6"),
    fixed(118, "F7"),      fixed(119, "F8"),
    fixed(120, "F9"),      fixed(121, "F10"),
    fixed(122, "F11"),     fixed(123, "F12"),
    fixed(124, "F13"),     fixed(125, "F14"),
    fixed(126, "F15"),     fixed(127, "F16"),
    fixed(128, "F17"),     fixed(129, "F18"),
    fixed(130, "F19"),     fixed(131, "F20"),
    fixed(132, "F21"),     fixed(133, "F22"),
    fixed(134, "F23"),     fixed(135, "F24"),
    fixed(144, "NUMLOCK"), fixed(145, "SCRLOCK"),
    fixed(36, "HOME"),     fixed(38, "UP"),
    fixed(33, "PGUP"),     fixed(37, "LEFT"),
    fixed(39, "RIGHT"),    fixed(35, "END"),
    fixed(40, "DOWN"),     fixed(34, "PGDOWN"),
    fixed(45, "INS"),      fixed(46, "DEL"),
    fixed(19, "PAUSE"),    Row{CodeSource::CenterKey, kCenterScan, "CENTER", true},
    fixed(96, "NP 0"),     fixed(97, "NP 1"),
    fixed(98, "NP 2"),     fixed(99, "NP 3"),
    fixed(100, "NP 4"),    fixed(101, "NP 5"),
    fixed(102, "NP 6"),    fixed(103, "NP 7"),
    fixed(104, "NP 8"),    fixed(105, "NP 9"),
    fixed(106, "NP *"),    fixed(107, "NP +"),
    fixed(109, "NP -"),    fixed(111, "NP /"),
    fixed(110, "NP ."),    fixed(108, "NP SEP"),
    fixed(160, "LSHIFT"),  fixed(161, "RSHIFT"),
    fixed(162, "LCTRL"),   fixed(163, "RCTRL"),
    fixed(164, "LALT"),    fixed(165, "RALT"),
};

// Rows compared by name, in the order KeyNameToCode compares them: the
// named rows of the table with the Windows and menu keys last.
constexpr std::array kNameOrder{
    "ESC",    "BACKSPACE", "TAB",    "RETURN", "CTRL",   "SHIFT",  "PRTSCR", "ALT",     "SPACE",
    "CAPS",   "F1",        "F2",     "F3",     "F4",     "F5",     "F6",     "F7",      "F8",
    "F9",     "F10",       "F11",    "F12",    "F13",    "F14",    "F15",    "F16",     "F17",
    "F18",    "F19",       "F20",    "F21",    "F22",    "F23",    "F24",    "NUMLOCK", "SCRLOCK",
    "HOME",   "UP",        "PGUP",   "LEFT",   "RIGHT",  "END",    "DOWN",   "PGDOWN",  "INS",
    "DEL",    "PAUSE",     "CENTER", "NP 0",   "NP 1",   "NP 2",   "NP 3",   "NP 4",    "NP 5",
    "NP 6",   "NP 7",      "NP 8",   "NP 9",   "NP *",   "NP +",   "NP -",   "NP /",    "NP .",
    "NP SEP", "WINL",      "WINR",   "APPS",   "LSHIFT", "RSHIFT", "LCTRL",  "RCTRL",   "LALT",
    "RALT",
};

// The low byte of the key-scan result: the code of the key that types `ch`,
// 255 when no key does.
std::uint32_t keyOfChar(const KeyLayout& layout, char32_t ch) {
    return static_cast<std::uint16_t>(layout.VkKeyScan(ch)) & 0xFFu;
}

// The row's code in this layout, or nothing when the row's character has no key.
std::optional<std::uint32_t> codeOf(const KeyLayout& layout, const Row& row) {
    switch (row.source) {
        case CodeSource::Fixed: return row.value;
        case CodeSource::Layout:
            if (layout.VkKeyScan(row.value) == -1) return std::nullopt;
            return keyOfChar(layout, row.value);
        case CodeSource::CenterKey: return layout.MapVirtualKey(row.value, MapType::ScanToVk);
    }
    return std::nullopt;
}

const Row* namedRow(std::string_view name) {
    for (const Row& row : kRows) {
        if (row.named && name == row.name) return &row;
    }
    return nullptr;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string keyDisplayNameOfKey(const KeyLayout& layout, std::uint32_t vk) {
    for (const Row& row : kRows) {
        const auto code = codeOf(layout, row);
        if (code && *code == vk) return row.name;
    }
    return {};
}

std::string KeymapKeyNames::keyDisplayName(std::uint32_t vk) {
    const std::shared_ptr<const KeyLayout> layout = keymap_.layout();
    return layout ? keyDisplayNameOfKey(*layout, vk) : std::string();
}

std::vector<std::string> keyDisplayNames() {
    std::vector<std::string> names;
    names.reserve(kRows.size());
    for (const Row& row : kRows) names.emplace_back(row.name);
    return names;
}

std::string KeyCodeToHotKeyText(const KeyLayout& layout, std::uint32_t vk) {
    if (const char32_t ch = layout.MapVirtualKey(vk, MapType::VkToChar); ch != 0) {
        return utf8::encode(ch);
    }
    for (const char* name : kNameOrder) {
        const Row* row = namedRow(name);
        const auto code = codeOf(layout, *row);
        if (code && *code == vk) return row->name;
    }
    return kUnknownHotKeyText;
}

int KeyNameToCode(const KeyLayout& layout, std::string_view name) {
    if (name.empty()) return -1;
    const utf8::CodePoint first = utf8::decode(name, 0);
    if (first.length == name.size()) return static_cast<int>(keyOfChar(layout, first.value));
    for (const char* candidate : kNameOrder) {
        if (equalIgnoringAsciiCase(name, candidate)) {
            return static_cast<int>(codeOf(layout, *namedRow(candidate)).value_or(0));
        }
    }
    const utf8::CodePoint second = utf8::decode(name, first.length);
    return static_cast<int>(keyOfChar(layout, second.value));
}

}  // namespace ks
