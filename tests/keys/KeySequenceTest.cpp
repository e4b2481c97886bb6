#include <gtest/gtest.h>

#include "RecordingInput.h"
#include "UsKeymap.h"
#include "keys/KeySequence.h"

namespace ks::test {
namespace {

constexpr std::uint8_t kShiftScan = 50 - 8;

KeyEvent down(std::uint8_t vk, std::uint8_t scan) {
    return {vk, scan, 0};
}
KeyEvent up(std::uint8_t vk, std::uint8_t scan) {
    return {vk, scan, kKeyUp};
}

// The events of one character typed on its key.
void tap(std::vector<KeyEvent>& out, std::uint8_t vk, std::uint8_t keycode, bool shift = false) {
    const auto scan = static_cast<std::uint8_t>(keycode - 8);
    if (shift) out.push_back(down(16, kShiftScan));
    out.push_back(down(vk, scan));
    out.push_back(up(vk, scan));
    if (shift) out.push_back(up(16, kShiftScan));
}

class KeySequenceTest : public ::testing::Test {
protected:
    InputLog log;
    FixedKeymap keymap;
    RecordingInjector injector{&log};
    RecordingSpareKeys spare{&log};
    FakeKeyboardState keyboard{&log};
    KeySequence sequence{keymap, injector, spare, keyboard};
};

// Control characters type their keys without Ctrl; CR and LF both are Enter.
TEST_F(KeySequenceTest, ShiftSurroundsOnlyTheShiftedCharacters) {
    sequence.TypeText("");
    EXPECT_TRUE(log.entries.empty());
    sequence.TypeText("Ab1!\n\t\r\b ");
    std::vector<KeyEvent> expected;
    tap(expected, 'A', 38, true);
    tap(expected, 'B', 56);
    tap(expected, '1', 10);
    tap(expected, '1', 10, true);
    for (const auto& [vk, keycode] : {std::pair{13, 36}, {9, 23}, {13, 36}, {8, 22}, {32, 65}})
        tap(expected, static_cast<std::uint8_t>(vk), static_cast<std::uint8_t>(keycode));
    EXPECT_EQ(injector.keys, expected);
    EXPECT_TRUE(spare.binds.empty());
    EXPECT_EQ(spare.releases, 0);
}

TEST_F(KeySequenceTest, CharactersOffTheLayoutAreBoundOnceBeforeTyping) {
    sequence.TypeText("a\u00E9b\u20AC\u00E9");  // a é b € é
    ASSERT_EQ(spare.binds.size(), 1u);
    EXPECT_EQ(spare.binds[0], (std::vector<char32_t>{U'\u00E9', U'\u20AC'}));
    const std::vector<std::string> expected{"bind 2",         "key 65/30 down", "key 65/30 up",
                                            "key 0/200 down", "key 0/200 up",   "key 66/48 down",
                                            "key 66/48 up",   "key 0/201 down", "key 0/201 up",
                                            "key 0/200 down", "key 0/200 up",   "release"};
    EXPECT_EQ(log.entries, expected);
}

TEST_F(KeySequenceTest, AltGrCharactersUseSpareKeys) {
    KeyLayout layout = usKeyLayout();
    layout.keyOfChar[U'@'] = static_cast<std::uint16_t>('Q' | ((kNeedsCtrl | kNeedsAlt) << 8));
    FixedKeymap german(layout);
    KeySequence typing(german, injector, spare, keyboard);
    typing.TypeText("@");
    ASSERT_EQ(spare.binds.size(), 1u);
    EXPECT_EQ(injector.keys, (std::vector<KeyEvent>{down(0, 200), up(0, 200)}));
}

TEST_F(KeySequenceTest, AsManyDistinctCharactersAsKeysAreBoundAtOnce) {
    spare.keys = 2;
    sequence.TypeText("\u00E9\u00FC\u00E9\u00FC");
    EXPECT_EQ(spare.binds, (std::vector<std::vector<char32_t>>{{U'\u00E9', U'\u00FC'}}));
}

TEST_F(KeySequenceTest, MoreDistinctCharactersThanKeysAreBoundHalfTheKeysAtATime) {
    sequence.TypeText("\u00E9\u00FC\u00E9\u00F6a\u00E4\u00F6\u00DF");
    EXPECT_EQ(spare.binds, (std::vector<std::vector<char32_t>>{
                               {U'\u00E9', U'\u00FC'}, {U'\u00F6', U'\u00E4'}, {U'\u00DF'}}));
    const std::vector<std::string> expected{
        "bind 2",         "key 0/200 down", "key 0/200 up",   "key 0/201 down", "key 0/201 up",
        "key 0/200 down", "key 0/200 up",   "bind 2",         "key 0/200 down", "key 0/200 up",
        "key 65/30 down", "key 65/30 up",   "key 0/201 down", "key 0/201 up",   "key 0/200 down",
        "key 0/200 up",   "bind 1",         "key 0/200 down", "key 0/200 up",   "release"};
    EXPECT_EQ(log.entries, expected);
}

TEST_F(KeySequenceTest, AFailedBindSkipsItsCharactersAndGivesTheKeysBack) {
    spare.keys = 1;
    spare.failBind = 2;
    sequence.TypeText("\u00E9x\u00FCy");
    const std::vector<std::string> expected{"bind 1",         "key 0/200 down", "key 0/200 up",
                                            "key 88/45 down", "key 88/45 up",   "bind 1",
                                            "key 89/21 down", "key 89/21 up",   "release"};
    EXPECT_EQ(log.entries, expected);
}

TEST_F(KeySequenceTest, WithoutSpareKeysAnUntypableCharacterIsSkipped) {
    spare.keys = 0;
    sequence.TypeText("\u00E9x\u00E9y");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"key 88/45 down", "key 88/45 up",
                                                     "key 89/21 down", "key 89/21 up"}));
}

TEST_F(KeySequenceTest, CapsLockIsLiftedWhileTyping) {
    keyboard.on.insert(LockKey::CapsLock);
    sequence.TypeText("aB");
    EXPECT_EQ(log.entries.front(), "caps off");
    EXPECT_EQ(log.entries.back(), "caps on");
    EXPECT_EQ(log.entries.size(), 2u + 6u);
    EXPECT_TRUE(keyboard.isOn(LockKey::CapsLock));
}

}  // namespace
}  // namespace ks::test
