#include <gtest/gtest.h>

#include <vector>

#include "QtTestLoop.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "platform/x11/X11HotKeys.h"

namespace ks::test {
namespace {

// Core modifier masks, as the server reports and grabs them.
constexpr unsigned kLock = 1u << 1, kControl = 1u << 2, kMod1 = 1u << 3, kMod2 = 1u << 4;

class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        Expected<std::unique_ptr<x11::X11HotKeys>> opened = x11::X11HotKeys::open(xvfb.display());
        ASSERT_TRUE(opened) << opened.error();
        hotKeys = std::move(*opened);
        hotKeys->setPressedHandler([this](std::int32_t id) { fired.push_back(id); });
    }

    // Presses the keys and waits for one hot key to arrive.
    template <typename Key>
    std::vector<std::int32_t> pressAndCollect(const std::vector<Key>& keys, int ms = 2000) {
        fired.clear();
        other.chord(keys);
        runEventsUntil([this] { return !fired.empty(); }, ms);
        return fired;
    }
    std::vector<std::int32_t> pressAndCollect(const std::vector<const char*>& keys, int ms = 2000) {
        return pressAndCollect<const char*>(keys, ms);
    }

    XvfbSession xvfb{false};
    XTestDriver other{xvfb.display()};
    std::unique_ptr<x11::X11HotKeys> hotKeys;
    std::vector<std::int32_t> fired;
};

TEST_F(X11HotKeysTest, LockKeysThatAreOnDoNotHideTheHotKey) {
    ASSERT_TRUE(hotKeys->registerHotKey(4, kModControl | kModAlt, 'K'));
    const struct {
        std::vector<const char*> locks;
        unsigned stateBits;
    } cases[] = {{{}, 0},
                 {{"Caps_Lock"}, kLock},
                 {{"Num_Lock"}, kMod2},
                 {{"Caps_Lock", "Num_Lock"}, kLock | kMod2}};
    for (const auto& c : cases) {
        for (const char* lock : c.locks) other.chord({lock});
        EXPECT_EQ(other.state() & (kLock | kMod2), c.stateBits);
        EXPECT_EQ(pressAndCollect({"Control_L", "Alt_L", "k"}), std::vector<std::int32_t>{4})
            << c.stateBits;
        for (const char* lock : c.locks) other.chord({lock});
    }
}

TEST_F(X11HotKeysTest, EachCombinationReportsItsOwnIdentifier) {
    ASSERT_TRUE(hotKeys->registerHotKey(1, 0, 116));                      // F5
    ASSERT_TRUE(hotKeys->registerHotKey(2, kModShift | kModWin, '1'));    // Shift+Win+1
    ASSERT_TRUE(hotKeys->registerHotKey(3, kModControl | kModAlt, 'K'));  // Ctrl+Alt+K
    ASSERT_TRUE(hotKeys->registerHotKey(5, kModControl, 'K'));            // Ctrl+K

    EXPECT_EQ(pressAndCollect({"F5"}), std::vector<std::int32_t>{1});
    EXPECT_EQ(pressAndCollect({"Shift_L", "Super_L", "1"}), std::vector<std::int32_t>{2});
    EXPECT_EQ(pressAndCollect({"Control_L", "Alt_L", "k"}), std::vector<std::int32_t>{3});
    EXPECT_EQ(pressAndCollect({"Control_L", "k"}), std::vector<std::int32_t>{5});
    EXPECT_TRUE(pressAndCollect({"Alt_L", "k"}, 300).empty());
}

TEST_F(X11HotKeysTest, AGrabHeldByAnotherClientIsRefusedAndNothingStaysGrabbed) {
    const unsigned j = other.keycode("j");
    // The other client holds only the Num Lock variant: the plain grab
    // succeeds first and must be released again.
    ASSERT_TRUE(other.grab(j, kControl | kMod1 | kMod2));
    ks::Result refused = hotKeys->registerHotKey(9, kModControl | kModAlt, 'J');
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("BadAccess"), std::string::npos) << refused.error();
    other.ungrab(j, kControl | kMod1 | kMod2);
    XTestDriver third(xvfb.display());
    EXPECT_TRUE(third.grab(j, kControl | kMod1));
    EXPECT_TRUE(pressAndCollect({"Control_L", "Alt_L", "j"}, 300).empty());
}

// registerHotKey() is a batch of one, so the batch's cases stand for both.
TEST_F(X11HotKeysTest, ABatchAnswersEachRequestAsIfMadeAlone) {
    ASSERT_TRUE(other.grab(other.keycode("j"), kControl));
    const std::vector<ks::Result> results = hotKeys->registerHotKeys({
        {1, kModAlt, 'Q'},      // granted
        {2, kModControl, 'J'},  // held by the other client
        {3, kModAlt, 'Q'},      // granted to 1 in this very batch
        {4, kModAlt, 7},        // no such key
        {5, kModShift, 'Z'},    // granted
        {6, kModAlt, 123},      // F12, granted
    });
    ASSERT_EQ(results.size(), 6u);
    const bool granted[] = {true, false, false, false, true, true};
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i].ok(), granted[i]) << i;
    EXPECT_NE(results[1].error().find("BadAccess"), std::string::npos);
    EXPECT_NE(results[2].error().find("BadAccess"), std::string::npos);
    EXPECT_EQ(pressAndCollect({"Alt_L", "q"}), std::vector<std::int32_t>{1});
    EXPECT_EQ(pressAndCollect({"Shift_L", "z"}), std::vector<std::int32_t>{5});
    // The refused request left nothing behind: its identifier is free again.
    other.ungrab(other.keycode("j"), kControl);
    EXPECT_TRUE(hotKeys->registerHotKey(2, kModControl, 'J'));
}

TEST_F(X11HotKeysTest, UnregisterReleasesTheKey) {
    const unsigned q = other.keycode("q");
    ASSERT_TRUE(hotKeys->registerHotKey(1, kModAlt, 'Q'));
    ASSERT_FALSE(other.grab(q, kMod1));
    ASSERT_TRUE(hotKeys->unregisterHotKey(1));
    EXPECT_FALSE(hotKeys->unregisterHotKey(1));
    EXPECT_TRUE(other.grab(q, kMod1));
    other.ungrab(q, kMod1);
    EXPECT_TRUE(pressAndCollect({"Alt_L", "q"}, 300).empty());
}

// On a German layout Z moves to where Y was, and code 186 (";" on a US keyboard)
// is the key shown as "\u00d6", not the one that types ";" there (Shift+comma).
TEST_F(X11HotKeysTest, GrabsFollowTheKeysTheirNamesNameOnANewLayout) {
    constexpr unsigned kCtrlKey = 37, kUsZ = 52, kGermanZ = 29, kComma = 59, kOUmlaut = 47;
    ASSERT_TRUE(hotKeys->registerHotKey(8, kModControl, 186));
    ASSERT_TRUE(hotKeys->registerHotKey(9, kModControl, 'Z'));
    ASSERT_TRUE(xvfb.run({"setxkbmap", "de"}));
    EXPECT_TRUE(runEventsUntil([&] { return other.grab(kUsZ, kControl); },
                               x11::X11HotKeys::kRegrabDelayMs * 10));
    const std::pair<std::vector<unsigned>, std::vector<std::int32_t>> presses[] = {
        {{kCtrlKey, kComma}, {}}, {{kCtrlKey, kOUmlaut}, {8}}, {{kCtrlKey, kGermanZ}, {9}}};
    for (const auto& [keys, ids] : presses) {
        EXPECT_EQ(pressAndCollect(keys, ids.empty() ? 300 : 2000), ids);
    }
}

}  // namespace
}  // namespace ks::test
