// A keymap's text, as a Wayland compositor sends it, read into the key-code layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/VirtualKey.h"
#include "platform/xkb/XkbKeyLayout.h"

namespace ks::test {
namespace {

using KeymapPtr = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;

// The text of a keymap compiled from the system's rules, compiled again from
// that text alone, the way wl_keyboard.keymap hands it over.
KeymapPtr keymapFromText(const char* layout) {
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    const KeymapPtr compiled(xkb_keymap_new_from_names(context.get(), &names, {}),
                             &xkb_keymap_unref);
    if (!compiled) return {nullptr, &xkb_keymap_unref};
    const std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(compiled.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    return {xkb_keymap_new_from_string(context.get(), text.get(), XKB_KEYMAP_FORMAT_TEXT_V1, {}),
            &xkb_keymap_unref};
}

constexpr std::int16_t kShift = kNeedsShift << 8;
constexpr std::int16_t kCtrl = kNeedsCtrl << 8;
constexpr std::int16_t kAltGr = (kNeedsCtrl | kNeedsAlt) << 8;

// Per layout, what the X11 backend reads from a server with that layout set:
// the key of characters, the keycode of virtual keys, and what keys type at a level.
struct Expected {
    std::vector<std::pair<char32_t, std::int16_t>> keyOfChar;  // VkKeyScan
    std::vector<std::pair<std::uint8_t, unsigned>> keycodeOfVk;
    std::vector<std::tuple<unsigned, std::size_t, char32_t>> typed;  // keycode, level
};

TEST(XkbKeyLayoutTest, KeymapTextGivesTheKeysTheX11PathGives) {
    const std::pair<const char*, Expected> layouts[] = {
        {"us",
         {{{U'a', 'A'}, {U'A', 'A' | kShift}, {U'\n', kVkReturn | kCtrl}, {U'\u20ac', -1}},
          {{'Z', 52}, {kVkLeftControl, 37}},
          {{10, kShiftLevel, U'!'}}}},
        {"de",
         {{{U'z', 'Z'}, {U'@', 'Q' | kAltGr}, {U'\u00f6', 0xBA}, {U'<', 0xE2}},
          {{'Z', 29}, {'Y', 52}, {0xE2, 94}, {kVkRightAlt, 108}},
          {{21, kPlainLevel, U'\u0301'}, {24, kAltGrLevel, U'@'}}}},  // a dead key: its mark
    };
    for (const auto& [layout, expected] : layouts) {
        const KeymapPtr keymap = keymapFromText(layout);
        ASSERT_TRUE(keymap) << layout;
        const KeyLayout built = buildKeyLayout(describeKeys(keymap.get(), 0));
        for (const auto& [ch, key] : expected.keyOfChar) {
            EXPECT_EQ(built.VkKeyScan(ch), key) << layout << " U+" << std::hex << unsigned(ch);
        }
        for (const auto& [vk, keycode] : expected.keycodeOfVk) {
            EXPECT_EQ(keycodeOfVk(built, vk), keycode) << layout << " vk " << int(vk);
        }
        for (const auto& [keycode, level, ch] : expected.typed) {
            EXPECT_EQ(built.charsOfScan[keycode - 8].levels[level], ch) << layout << keycode;
        }
    }
}

}  // namespace
}  // namespace ks::test
