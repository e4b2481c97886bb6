// A keymap's text, as a Wayland compositor sends it, read into the key-code layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/VirtualKey.h"
#include "platform/xkb/XkbKeyLayout.h"

namespace ks::test {
namespace {

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapFree>;

// The text of a keymap compiled from the system's rules, compiled again from
// that text alone, the way wl_keyboard.keymap hands it over.
KeymapPtr keymapFromText(const char* layout) {
    const std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    const KeymapPtr compiled(xkb_keymap_new_from_names(context.get(), &names, {}));
    if (!compiled) return nullptr;
    const std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(compiled.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    return KeymapPtr(
        xkb_keymap_new_from_string(context.get(), text.get(), XKB_KEYMAP_FORMAT_TEXT_V1, {}));
}

constexpr std::int16_t kShift = kNeedsShift << 8;
constexpr std::int16_t kAltGr = (kNeedsCtrl | kNeedsAlt) << 8;

// What the X11 backend reads from a server with the same layout set.
TEST(XkbKeyLayoutTest, KeymapTextGivesTheKeysTheX11PathGives) {
    const struct {
        const char* layout;
        char32_t ch;
        std::int16_t key;  // VkKeyScan
    } characters[] = {
        {"us", U'a', 'A'},
        {"us", U'A', 'A' | kShift},
        {"us", U'@', '2' | kShift},
        {"us", U'<', 0xBC | kShift},
        {"us", U'\n', kVkReturn | (kNeedsCtrl << 8)},
        {"us", U'\u20ac', -1},
        {"de", U'z', 'Z'},
        {"de", U'Y', 'Y' | kShift},
        {"de", U'@', 'Q' | kAltGr},
        {"de", U'\u20ac', 'E' | kAltGr},
        {"de", U'\u00f6', 0xBA},
        {"de", U'\u00df', 0xBD},
        {"de", U'<', 0xE2},
        {"de", U'|', 0xE2 | kAltGr},
    };
    const struct {
        const char* layout;
        std::uint8_t vk;
        unsigned keycode;
    } keys[] = {
        {"us", 'Z', 52},  {"de", 'Z', 29},          {"de", 'Y', 52},
        {"de", 0xE2, 94}, {"de", kVkRightAlt, 108}, {"us", kVkLeftControl, 37},
    };
    // What a person's key presses read back as: a dead key gives its combining mark.
    const struct {
        const char* layout;
        unsigned keycode;
        std::size_t level;
        char32_t ch;
    } typed[] = {{"de", 21, kPlainLevel, U'\u0301'},
                 {"de", 24, kAltGrLevel, U'@'},
                 {"us", 10, kShiftLevel, U'!'}};
    for (const char* layout : {"us", "de"}) {
        const KeymapPtr keymap = keymapFromText(layout);
        ASSERT_TRUE(keymap) << layout;
        const KeyLayout built = buildKeyLayout(describeKeys(keymap.get(), 0));
        for (const auto& row : characters) {
            if (row.layout != std::string(layout)) continue;
            EXPECT_EQ(built.VkKeyScan(row.ch), row.key)
                << layout << " U+" << std::hex << static_cast<unsigned>(row.ch);
        }
        for (const auto& row : keys) {
            if (row.layout != std::string(layout)) continue;
            EXPECT_EQ(keycodeOfVk(built, row.vk), row.keycode) << layout << " vk " << int(row.vk);
        }
        for (const auto& row : typed) {
            if (row.layout != std::string(layout)) continue;
            EXPECT_EQ(built.charsOfScan[row.keycode - 8].levels[row.level], row.ch) << layout;
        }
    }
}

}  // namespace
}  // namespace ks::test
