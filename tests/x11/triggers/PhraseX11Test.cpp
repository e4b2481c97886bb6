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

TEST(PhraseX11Test, CharactersComeFromTheLayoutInForceWithItsLevelsAndDeadKeys) {
    testApplication();
    XvfbSession session(false);
    x11::X11KeyWatch watch(session.display());
    PhraseWatch phrases;  // nothing announced: every key counts as typed
    int keyboardPresses = 0;
    ASSERT_TRUE(watch.start([&](const WatchedKey& key, const KeyLayout& layout) {
        keyboardPresses += key.pressed && !key.synthetic;
        phrases.onKey(key, layout, 0);
    }));
    // A layout switched while watching is followed.
    ASSERT_TRUE(session.run({"setxkbmap", "de"}));
    XTestDriver driver(session.display());
    // clang-format off
    const std::vector<std::vector<const char*>> chords = {
        {"Shift_L", "7"}, {"ISO_Level3_Shift", "q"}, {"z"}, {"Shift_L", "adiaeresis"},
        {"Caps_Lock"}, {"a"}, {"Shift_L", "a"}, {"Caps_Lock"},
        {"KP_End"}, {"Num_Lock"}, {"KP_End"}, {"Num_Lock"}, {"KP_Add"}, {"dead_acute"}, {"e"}};
    // clang-format on
    for (const auto& chord : chords) driver.chord(chord);
    driver.physicalKey(driver.keycode("b"), true);
    driver.physicalKey(driver.keycode("b"), false);
    const auto typed = [&] { return phrases.matcher().buffer().text(); };
    runEventsUntil([&] { return typed().size() >= 10; }, 3000);
    EXPECT_EQ(typed(), U"/@zÄAa1+éb");
    EXPECT_EQ(keyboardPresses, 1);
}

}  // namespace
}  // namespace ks::test
