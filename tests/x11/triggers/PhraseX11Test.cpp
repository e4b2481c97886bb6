// The desktop's keys read back as the characters they type, on a real layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QtTestLoop.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "platform/x11/X11KeyWatch.h"
#include "triggers/PhraseWatch.h"

namespace ks::test {
namespace {

TEST(PhraseX11Test, CharactersComeFromTheLayoutInForceWithItsShiftAltGrAndNumLockLevels) {
    testApplication();
    XvfbSession session(false);
    x11::X11KeyWatch watch(session.display());
    std::u32string typed;
    std::string sources;  // 's' synthesised, 'k' from the keyboard, for each character
    ASSERT_TRUE(watch.start([&](const WatchedKey& key, const KeyLayout& layout) {
        const char32_t ch = key.pressed ? typedCharacter(layout, key.scan, key.modifiers) : 0;
        if (ch != 0) typed += ch, sources += key.synthetic ? 's' : 'k';
    }));
    // A layout switched while watching is followed.
    ASSERT_TRUE(session.run({"setxkbmap", "de"}));
    XTestDriver driver(session.display());
    // clang-format off
    const std::vector<std::vector<const char*>> chords = {
        {"Shift_L", "7"}, {"ISO_Level3_Shift", "q"}, {"z"}, {"Shift_L", "adiaeresis"},
        {"Caps_Lock"}, {"a"}, {"Shift_L", "a"}, {"Caps_Lock"},
        {"KP_End"}, {"Num_Lock"}, {"KP_End"}, {"Num_Lock"}, {"KP_Add"}};
    // clang-format on
    for (const auto& chord : chords) driver.chord(chord);
    driver.physicalKey(driver.keycode("b"), true);
    driver.physicalKey(driver.keycode("b"), false);
    runEventsUntil([&] { return typed.size() >= 9; }, 3000);
    EXPECT_EQ(typed, U"/@zÄAa1+b");
    EXPECT_EQ(sources, "ssssssssk");
}

}  // namespace
}  // namespace ks::test
