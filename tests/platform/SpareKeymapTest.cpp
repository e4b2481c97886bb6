#include "platform/wayland/SpareKeymap.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace ks::wayland {
namespace {

template <auto unref>
struct Unref {
    void operator()(auto* object) const { unref(object); }
};
using Keymap = std::unique_ptr<xkb_keymap, Unref<xkb_keymap_unref>>;

class SpareKeymapTest : public testing::Test {
protected:
    Keymap compile(const std::string& text) {
        return Keymap(xkb_keymap_new_from_string(
            context_.get(), text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
    static std::string written(xkb_keymap* keymap) {
        char* chars = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        std::string result(chars);
        free(chars);
        return result;
    }
    // What the compositor hands its clients: the keymap compiled and written out again.
    std::string rewritten(const std::string& text) {
        Keymap keymap = compile(text);
        return keymap ? written(keymap.get()) : std::string();
    }
    std::string usText() {
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        return written(
            Keymap(xkb_keymap_new_from_names(context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS))
                .get());
    }
    // The character a key types, with Shift or without.
    static char32_t typed(xkb_keymap* keymap, std::uint32_t keycode, bool shift) {
        xkb_state* state = xkb_state_new(keymap);
        if (shift) {
            const xkb_mod_mask_t mask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
            xkb_state_update_mask(state, mask, 0, 0, 0, 0, 0);
        }
        const char32_t ch = xkb_state_key_get_utf32(state, keycode);
        xkb_state_unref(state);
        return ch;
    }

    std::unique_ptr<xkb_context, Unref<xkb_context_unref>> context_{
        xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
};

// Characters off the layout (Latin-1, CJK, emoji) come out of their keys
// with and without Shift, on named free keys and on numbers the layout has
// no key for, and only the lent keys change.
TEST_F(SpareKeymapTest, SplicedKeysTypeTheirCharacters) {
    const std::string us = usText();
    Keymap before = compile(us);
    ASSERT_TRUE(before);
    std::vector<FreeKeycode> free = freeKeycodes(before.get());
    ASSERT_GE(free.size(), 8u);
    const auto unnamed =
        std::find_if(free.begin(), free.end(), [](const FreeKeycode& key) { return !key.named; });
    ASSERT_NE(unnamed, free.end()) << "the US layout leaves a keycode without a name";
    for (const FreeKeycode& key : free) EXPECT_LE(key.keycode, 255u);
    std::vector<FreeKeycode> named;
    std::copy_if(free.begin(), free.end(), std::back_inserter(named),
                 [](const FreeKeycode& key) { return key.named; });

    const std::vector<SpareKeyBinding> bindings{
        {named[0], {U'é', U'ß'}}, {named[1], {U'中', 0}}, {*unnamed, {0, U'😀'}}, {named[2], {}}};
    const Expected<std::string> spliced = spliceSpareKeys(us, bindings);
    ASSERT_TRUE(spliced) << spliced.error();
    Keymap after = compile(rewritten(*spliced));
    ASSERT_TRUE(after);
    // Each key's character without Shift, then with it; 38 is the layout's own A.
    std::u32string got;
    for (const std::uint32_t keycode :
         {named[0].keycode, named[1].keycode, unnamed->keycode, named[2].keycode, 38u}) {
        got += {typed(after.get(), keycode, false), typed(after.get(), keycode, true)};
    }
    EXPECT_EQ(got, std::u32string(U"éß中中😀😀\0\0aA", 10));
    // The keys given characters are no longer free; the others stay.
    const std::vector<FreeKeycode> left = freeKeycodes(after.get());
    EXPECT_EQ(left.size(), free.size() - 3);
}

// The program tells its own uploads from the seat's layout after the
// compositor has compiled and written them out again, and splicing an
// upload again does not mark it twice. A layout types on the main block's
// keys; a tool's throwaway keymap, with a few keys it names itself (wtype's
// kind), is not taken for one.
TEST_F(SpareKeymapTest, SplicedKeymapsReadBackAsTheProgramsOwnAndOnlyALayoutCountsAsOne) {
    const std::string us = usText();
    EXPECT_FALSE(isSplicedKeymap(us));
    const Expected<std::string> spliced = spliceSpareKeys(us, {});
    ASSERT_TRUE(spliced);
    const std::string echoed = rewritten(*spliced);
    EXPECT_TRUE(isSplicedKeymap(echoed));
    const Expected<std::string> again = spliceSpareKeys(echoed, {});
    ASSERT_TRUE(again);
    EXPECT_EQ(rewritten(*again), echoed);

    EXPECT_TRUE(isKeyboardLayout(compile(us).get()));
    Keymap tool = compile(
        "xkb_keymap {\n"
        "xkb_keycodes \"(unnamed)\" { minimum = 8; maximum = 10; <K1> = 9; <K2> = 10; };\n"
        "xkb_types \"(unnamed)\" { include \"complete\" };\n"
        "xkb_compatibility \"(unnamed)\" { include \"complete\" };\n"
        "xkb_symbols \"(unnamed)\" { key <K1> { [ a ] }; key <K2> { [ U4E2D ] }; };\n"
        "};\n");
    ASSERT_TRUE(tool);
    EXPECT_FALSE(isKeyboardLayout(tool.get()));
}

TEST_F(SpareKeymapTest, TextWithoutSectionsIsRefused) {
    for (const char* text : {"", "xkb_keymap { xkb_keycodes \"k\" { }; };",
                             "xkb_keymap { xkb_symbols \"s\" { }; xkb_keycodes \"k\" { }; };"}) {
        EXPECT_FALSE(spliceSpareKeys(text, {})) << text;
    }
}

}  // namespace
}  // namespace ks::wayland
