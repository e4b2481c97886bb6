#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

#include "MiniRunner.h"
#include "QtTestLoop.h"
#include "RecordObserver.h"
#include "RecordingMessages.h"
#include "TempDir.h"
#include "XvfbSession.h"
#include "journal/Player.h"
#include "journal/RecordingStore.h"
#include "platform/qt/QtClock.h"
#include "platform/x11/OwnDisplay.h"
#include "platform/x11/X11CancelWatch.h"
#include "platform/x11/X11Platform.h"

#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>

namespace ks::test {
namespace {

// How late one event may be on a machine shared with builds; the benchmark
// measures the real figures on a quiet one.
constexpr std::int32_t kLateLimitMs = 80;

JournalEvent key(std::uint32_t message, std::uint8_t vk, std::uint32_t time) {
    return {message, vk, 0, time, 0};
}
JournalEvent mouse(std::uint32_t message, std::uint32_t x, std::uint32_t y, std::uint32_t time,
                   std::uint32_t hwnd = 0) {
    return {message, x, y, time, hwnd};
}

class PlaybackX11Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        XInitThreads();
        testApplication();
    }

    void SetUp() override {
        display = x11::openOwnDisplay(xvfb.display());
        ASSERT_TRUE(display);
        observer = std::make_unique<RecordObserver>(xvfb.display());
        ASSERT_TRUE(observer->started());
        auto platform = x11::X11Platform::open(xvfb.display());
        ASSERT_TRUE(platform) << platform.error();
        input = std::move(*platform);
        watch = std::make_unique<x11::X11CancelWatch>(xvfb.display());
        player = std::make_unique<Player>(
            Player::Services{store, expander, input->injector(), *watch, clock, runner});
        runner.attach(*player);
        ASSERT_TRUE(store.EnsureRootKeys());
    }

    void macro(const std::string& journal) { addPlaybackMacro(store, journal); }

    bool runUntil(const std::function<bool()>& done, int limitMs) {
        return runEventsUntil(done, limitMs);
    }

    unsigned keycode(std::uint8_t vk) {
        return input->keymap().layout()->MapVirtualKey(vk, MapType::VkToScan) + 8;
    }

    // Presses a key on the Xvfb's own keyboard device, as a person would,
    // rather than on the XTest device every synthesising client shares.
    void physicalKey(std::uint8_t vk, bool down) {
        int count = 0;
        XDeviceInfo* devices = XListInputDevices(display.get(), &count);
        XID id = 0;
        for (int i = 0; i < count; ++i) {
            if (std::string(devices[i].name) == "Xvfb keyboard") id = devices[i].id;
        }
        XFreeDeviceList(devices);
        ASSERT_NE(id, 0u) << "Xvfb has no keyboard device of its own";
        XDevice* device = XOpenDevice(display.get(), id);
        ASSERT_NE(device, nullptr);
        XTestFakeDeviceKeyEvent(display.get(), device, keycode(vk), down, nullptr, 0, CurrentTime);
        XCloseDevice(display.get(), device);
        XSync(display.get(), False);
    }

    XvfbSession xvfb{false};  // no window manager: nothing but the test reacts to input
    x11::OwnDisplay display;
    TempDir dir;
    RecordingMessages messages;
    KeyTree tree{dir.file("store.db")};
    SettingsStore store{tree, messages};
    NoExpansion expander;
    QtClock clock;
    MiniRunner runner{store, clock};
    std::unique_ptr<RecordObserver> observer;
    std::unique_ptr<x11::X11Platform> input;
    std::unique_ptr<x11::X11CancelWatch> watch;
    std::unique_ptr<Player> player;
};

struct Expected {
    int type;
    unsigned detail;
    std::size_t event;  // the recorded event it comes from
};

TEST_F(PlaybackX11Test, PlaysAStoredRecordingAndThenTheNextCommand) {
    const std::vector<JournalEvent> events = {
        mouse(kWmMouseMove, 100, 120, 10000),
        key(kWmKeyDown, 0x41, 10005),
        key(kWmKeyUp, 0x41, 10025),
        mouse(kWmMouseMove, 300, 200, 10045),
        mouse(kWmLButtonDown, 300, 200, 10050),
        mouse(kWmLButtonUp, 300, 200, 10110),
        key(kWmSysKeyDown, 0x70, 10115),
        key(kWmSysKeyUp, 0x70, 10135),
        mouse(kWmMouseMove, 5, 6, 10140),
        mouse(kWmRButtonDown, 5, 6, 10160),
        mouse(kWmRButtonUp, 5, 6, 10165),
        mouse(kWmMouseWheel, 5, 6, 10185, static_cast<std::uint32_t>(-120)),
        key(kWmKeyDown, 0x0D, 10245),
        key(kWmKeyUp, 0x0D, 10250),
        key(kWmChar, 0x41, 10250),  // no input of its own
        key(kWmKeyDown, 0x31, 10270),
        key(kWmKeyUp, 0x31, 10290),
    };
    ASSERT_TRUE(WriteRecording(store, "Rec", events, 1));
    macro("Rec");

    const std::vector<Expected> expected = {
        {kMotionNotify, 0, 0},
        {kKeyPress, keycode(0x41), 1},
        {kKeyRelease, keycode(0x41), 2},
        {kMotionNotify, 0, 3},
        {kButtonPress, 1, 4},
        {kButtonRelease, 1, 5},
        {kKeyPress, keycode(0x70), 6},
        {kKeyRelease, keycode(0x70), 7},
        {kMotionNotify, 0, 8},
        {kButtonPress, 3, 9},
        {kButtonRelease, 3, 10},
        {kButtonPress, 5, 11},
        {kButtonRelease, 5, 11},
        {kKeyPress, keycode(0x0D), 12},
        {kKeyRelease, keycode(0x0D), 13},
        {kKeyPress, keycode(0x31), 15},
        {kKeyRelease, keycode(0x31), 16},
    };
    runner.start();
    ASSERT_TRUE(runUntil([this] { return runner.ended; }, 10000));
    EXPECT_FALSE(runner.stopped);
    ASSERT_EQ(runner.otherCommandTicks.size(), 1u);

    const std::vector<ObservedEvent> seen = observer->waitFor(expected.size(), 3000);
    ASSERT_EQ(seen.size(), expected.size());
    std::vector<std::int32_t> lateness;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].type, expected[i].type);
        if (expected[i].type != kMotionNotify) {
            EXPECT_EQ(seen[i].detail, expected[i].detail);
        }
        if (expected[i].type != kKeyPress && expected[i].type != kKeyRelease) {
            EXPECT_EQ(seen[i].x, static_cast<int>(events[expected[i].event].paramL));
            EXPECT_EQ(seen[i].y, static_cast<int>(events[expected[i].event].paramH));
        }
        const std::size_t first = expected[0].event;
        const auto recorded =
            static_cast<std::int32_t>(events[expected[i].event].time - events[first].time);
        const auto played = static_cast<std::int32_t>(seen[i].time - seen[0].time);
        // Never early (beyond the millisecond the server rounds to). On a
        // busy machine one event may be late, but lateness does not add up.
        EXPECT_GE(played - recorded, -1);
        EXPECT_LE(played - recorded, kLateLimitMs);
        lateness.push_back(played - recorded);
    }
    std::sort(lateness.begin(), lateness.end());
    EXPECT_LE(lateness[lateness.size() / 2], 3);
    const auto afterLast =
        static_cast<std::int32_t>(runner.otherCommandTicks[0] - seen.back().time);
    EXPECT_GE(afterLast, -1);  // the next command ran once the last event was played
    EXPECT_LT(afterLast, 100);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlaybackX11Test, ControlEscapeThePlaybackTypesDoesNotCancelIt) {
    ASSERT_TRUE(WriteRecording(
        store, "CtrlEsc",
        {key(kWmKeyDown, 0x11, 0), key(kWmKeyDown, 0x1B, 20), key(kWmKeyUp, 0x1B, 40),
         key(kWmKeyUp, 0x11, 60), key(kWmKeyDown, 0x41, 200), key(kWmKeyUp, 0x41, 220)},
        2));
    macro("CtrlEsc");
    runner.start();
    ASSERT_TRUE(runUntil([this] { return runner.ended; }, 5000));
    EXPECT_FALSE(runner.stopped);
    EXPECT_EQ(runner.otherCommandTicks.size(), 1u);
    EXPECT_EQ(observer->waitFor(6, 2000).size(), 6u);
}

TEST_F(PlaybackX11Test, PhysicalControlEscapeCancelsPlaybackAndRun) {
    ASSERT_TRUE(
        WriteRecording(store, "Slow", {key(kWmKeyDown, 0x41, 0), key(kWmKeyUp, 0x41, 4000)}, 2));
    macro("Slow");
    runner.start();
    ASSERT_TRUE(
        runUntil([this] { return player->playing() && !observer->waitFor(1, 0).empty(); }, 3000));

    // Esc alone, and a physical Esc while only a synthesised Control is
    // held, are no cancel.
    physicalKey(0x1B, true);
    physicalKey(0x1B, false);
    XTestFakeKeyEvent(display.get(), keycode(0x11), True, CurrentTime);
    physicalKey(0x1B, true);
    physicalKey(0x1B, false);
    XTestFakeKeyEvent(display.get(), keycode(0x11), False, CurrentTime);
    XSync(display.get(), False);
    runUntil([] { return false; }, 200);
    EXPECT_TRUE(player->playing());
    EXPECT_TRUE(runner.active);

    physicalKey(0x11, true);
    physicalKey(0x1B, true);
    ASSERT_TRUE(runUntil([this] { return runner.stopped; }, 3000));
    physicalKey(0x1B, false);
    physicalKey(0x11, false);
    EXPECT_FALSE(player->playing());
    EXPECT_FALSE(runner.active);
    EXPECT_TRUE(runner.otherCommandTicks.empty());  // the macro did not go on
    runUntil([] { return false; }, 100);
    EXPECT_EQ(observer->events().front().type, kKeyPress);
    EXPECT_EQ(messages.shown.size(), 0u);
}

}  // namespace
}  // namespace ks::test
