#include "platform/x11/XkbLayoutBuilder.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

#include "core/VirtualKey.h"
#include "platform/x11/XlibHelpers.h"

namespace ks::x11 {
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
        {XK_BackSpace, 8},
        {XK_Tab, 9},
        {XK_Clear, 12},
        {XK_Return, 13},
        {XK_Pause, 19},
        {XK_Caps_Lock, 20},
        {XK_Escape, 27},
        {XK_space, 32},
        {XK_Prior, 33},
        {XK_Next, 34},
        {XK_End, 35},
        {XK_Home, 36},
        {XK_Left, 37},
        {XK_Up, 38},
        {XK_Right, 39},
        {XK_Down, 40},
        {XK_Print, 44},
        {XK_Insert, 45},
        {XK_Delete, 46},
        {XK_Super_L, 91},
        {XK_Super_R, 92},
        {XK_Menu, 93},
        {XK_Num_Lock, 144},
        {XK_Scroll_Lock, 145},
        {XK_Shift_L, 16},
        {XK_Shift_R, 16},
        {XK_Control_L, 17},
        {XK_Control_R, 17},
        {XK_Alt_L, 18},
        {XK_Alt_R, 18},
        {XK_ISO_Level3_Shift, kVkRightAlt},
    };
    return keys;
}

bool isPadKeysym(std::uint32_t keysym) {
    return keysym >= XK_KP_Space && keysym <= XK_KP_Equal;
}

std::optional<std::uint8_t> letterVk(std::uint32_t keysym) {
    if (keysym >= XK_a && keysym <= XK_z) return static_cast<std::uint8_t>(keysym - XK_a + 'A');
    if (keysym >= XK_A && keysym <= XK_Z) return static_cast<std::uint8_t>(keysym);
    if (keysym >= XK_F1 && keysym <= XK_F24) return static_cast<std::uint8_t>(112 + keysym - XK_F1);
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
    if (isPadKeysym(keysym) || keysym == XK_space) return 0;
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
    if (keysym >= XK_dead_grave && keysym <= XK_dead_ogonek) return kMarks[keysym - XK_dead_grave];
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
    return !key.levels.empty() && key.levels.front().keysym == XK_ISO_Level3_Shift &&
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

// The shift-state bits of the cheapest modifier set that selects `level`.
// Levels that need Caps Lock are left out (nothing is typed through them).
std::optional<std::uint8_t> levelState(XkbKeyTypePtr type, int level) {
    if (level == 0) return 0;
    std::optional<unsigned> best;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& entry = type->map[i];
        if (!entry.active || entry.level != level) continue;
        const unsigned mods = entry.mods.mask;
        if ((mods & LockMask) != 0) continue;
        if (!best || __builtin_popcount(mods) < __builtin_popcount(*best)) best = mods;
    }
    if (!best) return std::nullopt;
    std::uint8_t state = 0;
    if (*best & ShiftMask) state |= kNeedsShift;
    if (*best & ControlMask) state |= kNeedsCtrl;
    if (*best & ~(ShiftMask | ControlMask | LockMask)) state |= kNeedsCtrl | kNeedsAlt;
    return state;
}

int effectiveGroup(XkbDescPtr xkb, KeyCode keycode, int group) {
    const int groups = XkbKeyNumGroups(xkb, keycode);
    if (group < groups) return group;
    const unsigned char info = XkbKeyGroupInfo(xkb, keycode);
    if (XkbOutOfRangeGroupAction(info) == XkbClampIntoRange) return groups - 1;
    if (XkbOutOfRangeGroupAction(info) == XkbRedirectIntoRange) return 0;
    return group % groups;
}

}  // namespace

std::vector<KeyDescription> describeKeys(Display* display) {
    XkbDescHolder xkb(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    if (!xkb) return {};
    XkbGetNames(display, XkbKeyNamesMask, xkb.get());
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);

    std::vector<KeyDescription> keys;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
        const auto keycode = static_cast<KeyCode>(code);
        KeyDescription key;
        key.keycode = keycode;
        if (xkb->names && xkb->names->keys) {
            const char* name = xkb->names->keys[keycode].name;
            key.name.assign(name, strnlen(name, XkbKeyNameLength));
        }
        if (XkbKeyNumGroups(xkb.get(), keycode) > 0) {
            const int group = effectiveGroup(xkb.get(), keycode, state.group);
            XkbKeyTypePtr type = XkbKeyKeyType(xkb.get(), keycode, group);
            for (int level = 0; level < type->num_levels; ++level) {
                const auto bits = levelState(type, level);
                const KeySym sym = XkbKeySymEntry(xkb.get(), keycode, level, group);
                if (bits && sym != NoSymbol) {
                    key.levels.push_back({static_cast<std::uint32_t>(sym), *bits});
                } else if (level == 0) {
                    key.levels.push_back({0, 0});
                }
            }
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

KeyLayout currentKeyLayout(Display* display) {
    return buildKeyLayout(describeKeys(display));
}

unsigned keycodeOfVk(const KeyLayout& layout, std::uint32_t vk) {
    const std::uint8_t scan = vk < layout.scanOfVk.size() ? layout.scanOfVk[vk] : 0;
    return scan == 0 ? 0 : scan + 8u;
}

}  // namespace ks::x11
