#include "platform/xkb/XkbKeyLayout.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <unordered_map>

#include "core/VirtualKey.h"

namespace ks {
namespace {

// Virtual keys of keys known by where they sit: the digit row and the
// punctuation keys as on a US keyboard, and the keys of the numeric pad.
const std::unordered_map<std::string, std::uint8_t>& positionalKeys() {
    static const std::unordered_map<std::string, std::uint8_t> keys{
        {"AE01", '1'},  {"AE02", '2'},  {"AE03", '3'},  {"AE04", '4'},  {"AE05", '5'},
        {"AE06", '6'},  {"AE07", '7'},  {"AE08", '8'},  {"AE09", '9'},  {"AE10", '0'},
        {"TLDE", 0xC0}, {"AE11", 0xBD}, {"AE12", 0xBB}, {"AD11", 0xDB}, {"AD12", 0xDD},
        {"BKSL", 0xDC}, {"AC10", 0xBA}, {"AC11", 0xDE}, {"AB08", 0xBC}, {"AB09", 0xBE},
        {"AB10", 0xBF}, {"LSGT", 0xE2}, {"KP0", 96},    {"KP1", 97},    {"KP2", 98},
        {"KP3", 99},    {"KP4", 100},   {"KP5", 101},   {"KP6", 102},   {"KP7", 103},
        {"KP8", 104},   {"KP9", 105},   {"KPMU", 106},  {"KPAD", 107},  {"KPSU", 109},
        {"KPDL", 110},  {"KPDV", 111},
    };
    return keys;
}

// What a numeric-pad key means with Num Lock off: the virtual key a scan
// code maps back to (the pad's 5 is the "clear" key, code 12).
const std::unordered_map<std::string, std::uint8_t>& padNavigationKeys() {
    static const std::unordered_map<std::string, std::uint8_t> keys{
        {"KP0", 45}, {"KP1", 35}, {"KP2", 40}, {"KP3", 34}, {"KP4", 37},  {"KP5", 12},
        {"KP6", 39}, {"KP7", 36}, {"KP8", 38}, {"KP9", 33}, {"KPDL", 46}, {"KPEN", 13},
    };
    return keys;
}

// The left and right variants of the modifiers, by key name.
const std::unordered_map<std::string, std::uint8_t>& sidedModifierKeys() {
    static const std::unordered_map<std::string, std::uint8_t> keys{
        {"LFSH", 160}, {"RTSH", 161}, {"LCTL", 162}, {"RCTL", 163}, {"LALT", 164}, {"RALT", 165},
    };
    return keys;
}

const std::unordered_map<std::uint32_t, std::uint8_t>& namedKeysyms() {
    static const std::unordered_map<std::uint32_t, std::uint8_t> keys{
        {XKB_KEY_BackSpace, 8},
        {XKB_KEY_Tab, 9},
        {XKB_KEY_Clear, 12},
        {XKB_KEY_Return, 13},
        {XKB_KEY_Pause, 19},
        {XKB_KEY_Caps_Lock, 20},
        {XKB_KEY_Escape, 27},
        {XKB_KEY_space, 32},
        {XKB_KEY_Prior, 33},
        {XKB_KEY_Next, 34},
        {XKB_KEY_End, 35},
        {XKB_KEY_Home, 36},
        {XKB_KEY_Left, 37},
        {XKB_KEY_Up, 38},
        {XKB_KEY_Right, 39},
        {XKB_KEY_Down, 40},
        {XKB_KEY_Print, 44},
        {XKB_KEY_Insert, 45},
        {XKB_KEY_Delete, 46},
        {XKB_KEY_Super_L, 91},
        {XKB_KEY_Super_R, 92},
        {XKB_KEY_Menu, 93},
        {XKB_KEY_Num_Lock, 144},
        {XKB_KEY_Scroll_Lock, 145},
        {XKB_KEY_Shift_L, 16},
        {XKB_KEY_Shift_R, 16},
        {XKB_KEY_Control_L, 17},
        {XKB_KEY_Control_R, 17},
        {XKB_KEY_Alt_L, 18},
        {XKB_KEY_Alt_R, 18},
        {XKB_KEY_ISO_Level3_Shift, kVkRightAlt},
    };
    return keys;
}

bool isPadKeysym(std::uint32_t keysym) {
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

std::optional<std::uint8_t> letterVk(std::uint32_t keysym) {
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z)
        return static_cast<std::uint8_t>(keysym - XKB_KEY_a + 'A');
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return static_cast<std::uint8_t>(keysym);
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24)
        return static_cast<std::uint8_t>(112 + keysym - XKB_KEY_F1);
    return std::nullopt;
}

std::uint8_t vkOf(const KeyDescription& key) {
    const std::uint32_t plain = key.levels.empty() ? 0 : key.levels.front().keysym;
    if (const auto letter = letterVk(plain)) return *letter;
    const auto& positional = positionalKeys();
    if (const auto at = positional.find(key.name); at != positional.end()) return at->second;
    const auto& named = namedKeysyms();
    if (const auto at = named.find(plain); at != named.end()) return at->second;
    return 0;
}

// The character a key types for the hot-key text: printable only (the
// space bar, the pad and control keys go by their names), letters in upper case.
char32_t plainCharacter(std::uint32_t keysym) {
    if (isPadKeysym(keysym) || keysym == XKB_KEY_space) return 0;
    const char32_t ch = xkb_keysym_to_utf32(keysym);
    if (ch < 0x20 || ch == 0x7F) return 0;
    if (ch >= 'a' && ch <= 'z') return ch - 'a' + 'A';
    return ch;
}

// The extra key beside the left Shift of 102-key keyboards repeats
// characters of the main keys on some layouts ("<" and ">" on the US one);
// its characters count only where no main key types them, so that a
// character keeps the key it has on a US keyboard.
bool isExtraKey(const KeyDescription& key) {
    return key.name == "LSGT";
}

void addCharacters(KeyLayout& layout, std::uint8_t vk, const KeyDescription& key) {
    for (const LevelSymbol& level : key.levels) {
        if (isPadKeysym(level.keysym)) continue;
        const char32_t ch = xkb_keysym_to_utf32(level.keysym);
        if (ch == 0) continue;
        const auto entry = static_cast<std::uint16_t>(vk | (level.state << 8));
        const auto [at, added] = layout.keyOfChar.emplace(ch, entry);
        if (!added && (at->second >> 8) > level.state) at->second = entry;
    }
}

void addCharactersIfNew(KeyLayout& layout, std::uint8_t vk, const KeyDescription& key) {
    KeyLayout own;
    addCharacters(own, vk, key);
    layout.keyOfChar.insert(own.keyOfChar.begin(), own.keyOfChar.end());
}

// A keysym's character; a dead key's is the combining mark it puts on the
// next character (dead_acute: U+0301).
char32_t typedCharacterOf(std::uint32_t keysym) {
    static constexpr char32_t kMarks[] = {0x300, 0x301, 0x302, 0x303, 0x304, 0x306, 0x307,
                                          0x308, 0x30A, 0x30B, 0x30C, 0x327, 0x328};
    if (keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_ogonek)
        return kMarks[keysym - XKB_KEY_dead_grave];
    return xkb_keysym_to_utf32(keysym);
}

// What the key types at each level, for reading back typed text. A pad
// key's plain character is its operator, if any; its Num Lock character
// is the first other level's.
KeyCharacters typedCharacters(const KeyDescription& key, bool padKey) {
    KeyCharacters chars;
    chars.pad = padKey;
    for (const LevelSymbol& level : key.levels) {
        const char32_t ch = typedCharacterOf(level.keysym);
        if (padKey) {
            const std::size_t at = &level == &key.levels.front() ? kPlainLevel : kShiftLevel;
            if (chars.levels[at] == 0) chars.levels[at] = ch;
            continue;
        }
        constexpr std::uint8_t kAltGr = kNeedsCtrl | kNeedsAlt;
        switch (level.state) {
            case 0: chars.levels[kPlainLevel] = ch; break;
            case kNeedsShift: chars.levels[kShiftLevel] = ch; break;
            case kAltGr: chars.levels[kAltGrLevel] = ch; break;
            case kAltGr | kNeedsShift: chars.levels[kShiftAltGrLevel] = ch; break;
        }
    }
    return chars;
}

void setOnce(std::uint8_t& slot, std::uint8_t value) {
    if (slot == 0) slot = value;
}

// The key AltGr is pressed on: the right Alt key where it gives the third
// level, otherwise the first real key that does (XKB's "LVL3" key is a
// placeholder no keyboard has).
bool isLevel3Key(const KeyDescription& key) {
    return !key.levels.empty() && key.levels.front().keysym == XKB_KEY_ISO_Level3_Shift &&
           key.name != "LVL3";
}

}  // namespace

KeyLayout buildKeyLayout(const std::vector<KeyDescription>& keys) {
    KeyLayout layout;
    const KeyDescription* extraKey = nullptr;
    std::uint8_t level3Scan = 0;
    for (const KeyDescription& key : keys) {
        if (key.keycode < 8) continue;
        const auto scan = static_cast<std::uint8_t>(key.keycode - 8);
        const std::uint8_t vk = vkOf(key);
        // A sided modifier is its own key, ahead of any key with the same symbol.
        if (const auto at = sidedModifierKeys().find(key.name); at != sidedModifierKeys().end()) {
            layout.scanOfVk[at->second] = scan;
        }
        if (isLevel3Key(key) && (level3Scan == 0 || key.name == "RALT")) level3Scan = scan;
        const auto nav = padNavigationKeys().find(key.name);
        const bool padKey = nav != padNavigationKeys().end();
        layout.charsOfScan[scan] = typedCharacters(
            key, padKey || (!key.levels.empty() && isPadKeysym(key.levels.front().keysym)));
        layout.vkOfScan[scan] = padKey ? nav->second : vk;
        if (padKey && vk != 13) layout.padVkOfScan[scan] = vk;
        if (padKey && nav->second == 12) setOnce(layout.scanOfVk[12], scan);
        if (vk == 0 || (padKey && vk == 13)) continue;
        setOnce(layout.scanOfVk[vk], scan);
        if (layout.charOfVk[vk] == 0 && !key.levels.empty()) {
            layout.charOfVk[vk] = plainCharacter(key.levels.front().keysym);
        }
        if (isExtraKey(key)) {
            extraKey = &key;
        } else {
            addCharacters(layout, vk, key);
        }
    }
    if (extraKey) addCharactersIfNew(layout, vkOf(*extraKey), *extraKey);
    if (level3Scan != 0) layout.scanOfVk[kVkRightAlt] = level3Scan;
    // A line feed has no key of its own: it is Enter, with the Ctrl that
    // makes Enter a line feed, as the key-scan of a control character reports.
    if (!layout.keyOfChar.count(U'\n') && layout.keyOfChar.count(U'\r')) {
        layout.keyOfChar[U'\n'] =
            static_cast<std::uint16_t>(layout.keyOfChar[U'\r'] | (kNeedsCtrl << 8));
    }
    return layout;
}

namespace {

// The shift-state bits of each level of the keys of one keymap.
class LevelStates {
public:
    explicit LevelStates(xkb_keymap* keymap)
        : keymap_(keymap),
          masks_{maskOf(keymap, XKB_MOD_NAME_SHIFT), maskOf(keymap, XKB_MOD_NAME_CAPS),
                 maskOf(keymap, XKB_MOD_NAME_CTRL)} {}

    std::optional<std::uint8_t> of(xkb_keycode_t key, xkb_layout_index_t layout,
                                   xkb_level_index_t level) const {
        if (level == 0) return 0;
        xkb_mod_mask_t sets[16];
        const std::size_t count =
            xkb_keymap_key_get_mods_for_level(keymap_, key, layout, level, sets, std::size(sets));
        return cheapestLevelState(std::span(sets, count), masks_);
    }

private:
    static xkb_mod_mask_t maskOf(xkb_keymap* keymap, const char* name) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
        return index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t{1} << index;
    }

    xkb_keymap* keymap_;
    ModifierMasks masks_;
};

// A key with fewer layouts than the keymap wraps the index round, XKB's
// default for a group out of range.
xkb_layout_index_t effectiveLayout(xkb_keymap* keymap, xkb_keycode_t key,
                                   xkb_layout_index_t layout) {
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, key);
    return layout < layouts ? layout : layout % layouts;
}

std::vector<LevelSymbol> levelsOf(xkb_keymap* keymap, const LevelStates& states, xkb_keycode_t key,
                                  xkb_layout_index_t layout) {
    std::vector<LevelSymbol> levels;
    const xkb_level_index_t count = xkb_keymap_num_levels_for_key(keymap, key, layout);
    for (xkb_level_index_t level = 0; level < count; ++level) {
        const xkb_keysym_t* syms = nullptr;
        const int symCount = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &syms);
        const auto bits = states.of(key, layout, level);
        if (bits && symCount > 0 && syms[0] != XKB_KEY_NoSymbol) {
            levels.push_back({syms[0], *bits});
        } else if (level == 0) {
            levels.push_back({0, 0});
        }
    }
    return levels;
}

}  // namespace

std::vector<KeyDescription> describeKeys(xkb_keymap* keymap, xkb_layout_index_t layout) {
    const LevelStates states(keymap);
    std::vector<KeyDescription> keys;
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code) {
        KeyDescription key;
        key.keycode = static_cast<std::uint8_t>(code);
        if (const char* name = xkb_keymap_key_get_name(keymap, code)) key.name = name;
        if (xkb_keymap_num_layouts_for_key(keymap, code) > 0) {
            key.levels = levelsOf(keymap, states, code, effectiveLayout(keymap, code, layout));
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

KeyLayout defaultKeyLayout() {
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    if (!context) return {};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_names(context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS),
        &xkb_keymap_unref);
    if (!keymap) return {};
    return buildKeyLayout(describeKeys(keymap.get(), 0));
}

std::optional<std::uint8_t> cheapestLevelState(std::span<const std::uint32_t> sets,
                                               const ModifierMasks& masks) {
    std::optional<std::uint32_t> best;
    for (const std::uint32_t set : sets) {
        if ((set & masks.capsLock) != 0) continue;
        if (!best || __builtin_popcount(set) < __builtin_popcount(*best)) best = set;
    }
    if (!best) return std::nullopt;
    std::uint8_t state = 0;
    if (*best & masks.shift) state |= kNeedsShift;
    if (*best & masks.control) state |= kNeedsCtrl;
    if (*best & ~(masks.shift | masks.control | masks.capsLock)) state |= kNeedsCtrl | kNeedsAlt;
    return state;
}

unsigned keycodeOfVk(const KeyLayout& layout, std::uint32_t vk) {
    const std::uint8_t scan = vk < layout.scanOfVk.size() ? layout.scanOfVk[vk] : 0;
    return scan == 0 ? 0 : scan + 8u;
}

}  // namespace ks
