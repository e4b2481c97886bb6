// The names sway binds hot keys by, from the key-code layer on real layouts.
#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include "platform/wayland/SwayHotKeys.h"

namespace ks {
namespace {

TEST(SwayComboTest, CombosNameTheKeyOfTheLayoutInForce) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct Case {
        const char* layout;
        std::uint32_t modifiers;
        std::uint32_t vk;
        std::optional<std::string> combo;
    } cases[] = {
        {"us", kModControl | kModAlt, 'K', "Ctrl+Mod1+k"},
        {"us", kModShift | kModWin, 0x74, "Shift+Mod4+F5"},
        {"us", 0, 0x0D, "Return"},
        {"us", kModControl, '1', "Ctrl+1"},
        {"us", kModControl, 0xBA, "Ctrl+semicolon"},
        {"de", kModControl, 0xBA, "Ctrl+odiaeresis"},
        {"de", kModAlt, 'Z', "Mod1+z"},
        {"us", kModControl, 0xFF, std::nullopt},
    };
    for (const Case& c : cases) {
        const xkb_rule_names names{"evdev", "pc105", c.layout, "", ""};
        xkb_keymap* keymap =
            xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(keymap, nullptr);
        EXPECT_EQ(wayland::swayCombo(keymap, c.modifiers, c.vk), c.combo)
            << c.layout << " " << c.vk;
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
}

}  // namespace
}  // namespace ks
