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
using Ids = std::vector<std::int32_t>;

class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        Expected<std::unique_ptr<x11::X11HotKeys>> opened = x11::X11HotKeys::open(xvfb.display());
        ASSERT_TRUE(opened) << opened.error();
        hotKeys = std::move(*opened);
        hotKeys->setPressedHandler([this](std::int32_t id) { fired.push_back(id); });
    }

    // Presses the keys and waits for a hot key: 300 ms when none should come.
    template <typename Key>
    Ids press(const std::vector<Key>& keys, const Ids& expected) {
        fired.clear();
        other.chord(keys);
        runEventsUntil([this] { return !fired.empty(); }, expected.empty() ? 300 : 2000);
        return fired;
    }
    Ids press(const std::vector<const char*>& keys, const Ids& expected) {
        return press<const char*>(keys, expected);
    }

    XvfbSession xvfb{false};
    XTestDriver other{xvfb.display()};
    std::unique_ptr<x11::X11HotKeys> hotKeys;
    Ids fired;
};

// Each combination reports its own identifier, with lock keys on or off.
TEST_F(X11HotKeysTest, EachCombinationFiresItsIdentifierWhateverLocksAreOn) {
    ASSERT_TRUE(hotKeys->registerHotKey(1, 0, 116));                      // F5
    ASSERT_TRUE(hotKeys->registerHotKey(2, kModShift | kModWin, '1'));    // Shift+Win+1
    ASSERT_TRUE(hotKeys->registerHotKey(3, kModControl | kModAlt, 'K'));  // Ctrl+Alt+K
    ASSERT_TRUE(hotKeys->registerHotKey(5, kModControl, 'K'));            // Ctrl+K
    const std::pair<std::vector<const char*>, Ids> presses[] = {{{"F5"}, {1}},
                                                                {{"Shift_L", "Super_L", "1"}, {2}},
                                                                {{"Control_L", "Alt_L", "k"}, {3}},
                                                                {{"Control_L", "k"}, {5}},
                                                                {{"Alt_L", "k"}, {}}};
    const std::pair<std::vector<const char*>, unsigned> locks[] = {
        {{}, 0},
        {{"Caps_Lock"}, kLock},
        {{"Num_Lock"}, kMod2},
        {{"Caps_Lock", "Num_Lock"}, kLock | kMod2}};
    for (const auto& [lockKeys, stateBits] : locks) {
        for (const char* lock : lockKeys) other.chord({lock});
        EXPECT_EQ(other.state() & (kLock | kMod2), stateBits);
        for (const auto& [keys, ids] : presses) EXPECT_EQ(press(keys, ids), ids) << stateBits;
        for (const char* lock : lockKeys) other.chord({lock});
    }
}

// registerHotKey() is a batch of one, so the batch's cases stand for both.
TEST_F(X11HotKeysTest, ABatchAnswersEachRequestAsIfMadeAloneAndKeepsNoRefusedGrab) {
    const unsigned j = other.keycode("j");
    // The other client holds only the Num Lock variant of Ctrl+J: the plain
    // grab succeeds first and must be released again.
    ASSERT_TRUE(other.grab(j, kControl | kMod2));
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
    EXPECT_NE(results[1].error().find("BadAccess"), std::string::npos) << results[1].error();
    EXPECT_NE(results[2].error().find("BadAccess"), std::string::npos);
    EXPECT_EQ(press({"Alt_L", "q"}, {1}), Ids{1});
    EXPECT_EQ(press({"Shift_L", "z"}, {5}), Ids{5});
    XTestDriver third(xvfb.display());
    EXPECT_TRUE(third.grab(j, kControl));
    EXPECT_TRUE(press({"Control_L", "j"}, {}).empty());
    third.ungrab(j, kControl);
    other.ungrab(j, kControl | kMod2);
    EXPECT_TRUE(hotKeys->registerHotKey(2, kModControl, 'J'));  // the identifier is free again

    // Unregistering releases the key.
    const unsigned q = other.keycode("q");
    ASSERT_FALSE(other.grab(q, kMod1));
    ASSERT_TRUE(hotKeys->unregisterHotKey(1));
    EXPECT_FALSE(hotKeys->unregisterHotKey(1));
    EXPECT_TRUE(other.grab(q, kMod1));
    EXPECT_TRUE(press({"Alt_L", "q"}, {}).empty());
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
    const std::pair<std::vector<unsigned>, Ids> presses[] = {
        {{kCtrlKey, kComma}, {}}, {{kCtrlKey, kOUmlaut}, {8}}, {{kCtrlKey, kGermanZ}, {9}}};
    for (const auto& [keys, ids] : presses) EXPECT_EQ(press(keys, ids), ids);
}

}  // namespace
}  // namespace ks::test
