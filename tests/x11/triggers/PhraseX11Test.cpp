// The keys of the desktop read back as typed characters, on real layouts.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "QtTestLoop.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "keys/KeySequence.h"
#include "platform/x11/X11KeyWatch.h"
#include "platform/x11/X11Platform.h"
#include "triggers/PhraseWatch.h"

namespace ks::test {
namespace {

class PhraseX11Test : public ::testing::Test {
protected:
    PhraseX11Test() { testApplication(); }
    void TearDown() override { ASSERT_TRUE(session().run({"setxkbmap", "us"})); }

    static XvfbSession& session() {
        static XvfbSession shared{false};
        return shared;
    }

    // Runs events until `count` characters were typed since the last call.
    std::u32string typedCharacters(std::size_t count) {
        runEventsUntil([&] { return typed.size() >= count; }, 3000);
        runEventsUntil([] { return false; }, 50);  // nothing more comes
        return std::exchange(typed, {});
    }

    x11::X11KeyWatch watch{session().display()};
    std::u32string typed;
    std::string sources;  // 's' synthesised, 'k' from the keyboard, for each character
};

TEST_F(PhraseX11Test, CharactersComeFromTheLayoutInForceWithItsShiftAndAltGrLevels) {
    ASSERT_TRUE(watch.start([&](const WatchedKey& key, const KeyLayout& layout) {
        const char32_t ch = key.pressed ? typedCharacter(layout, key.scan, key.modifiers) : 0;
        if (ch == 0) return;
        typed += ch;
        sources += key.synthetic ? 's' : 'k';
    }));
    // A layout switched while watching is followed.
    ASSERT_TRUE(session().run({"setxkbmap", "de"}));
    XTestDriver driver(session().display());
    // clang-format off
    const std::vector<std::vector<const char*>> chords = {
        {"Shift_L", "7"}, {"ISO_Level3_Shift", "q"}, {"z"}, {"Shift_L", "adiaeresis"},
        {"Caps_Lock"}, {"a"}, {"Shift_L", "a"}, {"Caps_Lock"},
        {"KP_End"}, {"Num_Lock"}, {"KP_End"}, {"Num_Lock"}, {"KP_Add"}};
    // clang-format on
    for (const auto& chord : chords) driver.chord(chord);
    driver.physicalKey(driver.keycode("b"), true);
    driver.physicalKey(driver.keycode("b"), false);
    EXPECT_EQ(typedCharacters(9), U"/@zÄAa1+b");
    EXPECT_EQ(sources, "ssssssssk");
}

// What the program types is announced and stays out of the buffer; another
// program's synthesised keys go in as a person's would.
TEST_F(PhraseX11Test, TheProgramsOwnTypingNeverFiresAPhraseAnotherProgramsDoes) {
    auto platform = std::move(*x11::X11Platform::open(session().display()));
    PhraseWatch phrases;
    phrases.matcher().add({"btw", "Way"});
    phrases.matcher().add({"café!", "Cafe"});
    std::string fired;
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    platform->injector().setKeyAnnouncer(
        [&](std::uint8_t scan, bool down) { phrases.expectOwnKey(scan, down, now()); });
    ASSERT_TRUE(watch.start([&](const WatchedKey& key, const KeyLayout& layout) {
        if (const std::string* macro = phrases.onKey(key, layout, now())) fired += *macro + " ";
    }));
    KeySequence typing(platform->keymap(), platform->injector(), platform->spareKeys(),
                       platform->keyboard());
    typing.TypeText("btw café! BTW");
    runEventsUntil([] { return false; }, 300);
    EXPECT_EQ(fired, "");
    EXPECT_EQ(phrases.matcher().buffer().size(), 0u);
    ASSERT_TRUE(session().run({"xdotool", "type", "--delay", "5", "by btw"}));
    runEventsUntil([&] { return !fired.empty(); }, 3000);
    EXPECT_EQ(fired, "Way ");
}

}  // namespace
}  // namespace ks::test
