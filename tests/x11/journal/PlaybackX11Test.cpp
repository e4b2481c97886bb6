// The player in the program's engine on a private Xvfb: what it injects is
// watched through RECORD, and Ctrl+Esc through the keyboard device.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

#include "EngineRun.h"
#include "RecordObserver.h"
#include "RecordingMessages.h"
#include "TempDir.h"
#include "XvfbSession.h"
#include "journal/RecordingStore.h"
#include "platform/x11/X11Platform.h"

#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>

namespace ks::test {
namespace {

// How late one event may be on a machine shared with builds; the benchmark
// measures the real figures on a quiet one.
constexpr std::int32_t kLateLimitMs = 80;
// The mute key, which has no virtual key.
constexpr std::uint32_t kMuteScan = 121 - 8;

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
        auto opened = x11::X11Platform::open(xvfb.display());
        ASSERT_TRUE(opened) << opened.error();
        platform = std::move(*opened);
        ASSERT_TRUE(store.EnsureRootKeys());
        run = std::make_unique<EngineRun>(store, messages, *platform);
    }

    unsigned keycode(std::uint8_t vk) {
        return platform->keymap().layout()->MapVirtualKey(vk, MapType::VkToScan) + 8;
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
    std::unique_ptr<RecordObserver> observer;
    std::unique_ptr<x11::X11Platform> platform;
    std::unique_ptr<EngineRun> run;
};

TEST_F(PlaybackX11Test, PlaysAStoredRecordingOnTimeAndThenTheNextCommand) {
    const std::vector<JournalEvent> events = {
        mouse(kWmMouseMove, 100, 120, 10000),
        key(kWmKeyDown, 0x41, 10005),
        key(kWmKeyUp, 0x41, 10025),
        mouse(kWmLButtonDown, 300, 200, 10050),
        mouse(kWmLButtonUp, 300, 200, 10110),
        key(kWmSysKeyDown, 0x70, 10115),
        key(kWmSysKeyUp, 0x70, 10135),
        mouse(kWmRButtonDown, 5, 6, 10160),
        mouse(kWmRButtonUp, 5, 6, 10165),
        mouse(kWmMouseWheel, 5, 6, 10185, static_cast<std::uint32_t>(-120)),
        mouse(kWmMButtonDown, 5, 6, 10200),
        mouse(kWmMButtonUp, 5, 6, 10210),
        {kWmKeyDown, kMuteScan << 8, kMuteScan, 10220, 0},  // no virtual key: by its scan code
        {kWmKeyUp, kMuteScan << 8, kMuteScan, 10230, 0},
        key(kWmChar, 0x41, 10250),  // no input of its own
        key(kWmKeyDown, 0x31, 10270),
        key(kWmKeyUp, 0x31, 10290),
    };
    ASSERT_TRUE(WriteRecording(store, "Rec", events, 1));
    addPlaybackMacro(store, "Rec");
    // {type, detail, the recorded event it comes from}; a click's position
    // comes as a motion of its own.
    const std::vector<std::array<unsigned, 3>> expected = {
        {kMotionNotify, 0, 0},
        {kKeyPress, keycode(0x41), 1},
        {kKeyRelease, keycode(0x41), 2},
        {kMotionNotify, 0, 3},
        {kButtonPress, 1, 3},
        {kButtonRelease, 1, 4},
        {kKeyPress, keycode(0x70), 5},
        {kKeyRelease, keycode(0x70), 6},
        {kMotionNotify, 0, 7},
        {kButtonPress, 3, 7},
        {kButtonRelease, 3, 8},
        {kButtonPress, 5, 9},
        {kButtonRelease, 5, 9},
        {kButtonPress, 2, 10},
        {kButtonRelease, 2, 11},
        {kKeyPress, kMuteScan + 8, 12},
        {kKeyRelease, kMuteScan + 8, 13},
        {kKeyPress, keycode(0x31), 15},
        {kKeyRelease, keycode(0x31), 16},
        {kKeyPress, keycode(kNextCommandVk), 16},
    };
    ASSERT_TRUE(run->runToEnd(10000));

    const std::vector<ObservedEvent> seen = observer->waitFor(expected.size() + 1, 3000);
    ASSERT_EQ(seen.size(), expected.size() + 1);
    std::vector<std::int32_t> lateness;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const auto [type, detail, from] = expected[i];
        EXPECT_EQ(seen[i].type, static_cast<int>(type));
        if (type != kMotionNotify) {
            EXPECT_EQ(seen[i].detail, detail);
        }
        if (type != kKeyPress && type != kKeyRelease) {
            EXPECT_EQ(seen[i].x, static_cast<int>(events[from].paramL));
            EXPECT_EQ(seen[i].y, static_cast<int>(events[from].paramH));
        }
        const auto recorded = static_cast<std::int32_t>(events[from].time - events[0].time);
        const auto played = static_cast<std::int32_t>(seen[i].time - seen[0].time);
        // Never early (beyond the millisecond the server rounds to); the
        // next command comes once the last event is played. On a busy
        // machine one event may be late, but lateness does not add up.
        EXPECT_GE(played - recorded, -1);
        EXPECT_LE(played - recorded, kLateLimitMs);
        lateness.push_back(played - recorded);
    }
    std::sort(lateness.begin(), lateness.end());
    EXPECT_LE(lateness[lateness.size() / 2], 3);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlaybackX11Test, OnlyAPhysicalControlEscapeCancelsPlayback) {
    // The recording's own Ctrl+Esc comes from the XTest device: no cancel.
    ASSERT_TRUE(WriteRecording(
        store, "CtrlEsc",
        {key(kWmKeyDown, 0x11, 0), key(kWmKeyDown, 0x1B, 20), key(kWmKeyUp, 0x1B, 40),
         key(kWmKeyUp, 0x11, 60), key(kWmKeyDown, 0x41, 200), key(kWmKeyUp, 0x41, 4000)},
        2));
    addPlaybackMacro(store, "CtrlEsc");
    ASSERT_TRUE(run->start());
    ASSERT_TRUE(runEventsUntil([this] { return observer->waitFor(5, 0).size() >= 5; }, 3000));
    EXPECT_TRUE(messages.shown.empty());

    // Esc alone, and a physical Esc while only a synthesised Control is
    // held, are no cancel either.
    physicalKey(0x1B, true);
    physicalKey(0x1B, false);
    XTestFakeKeyEvent(display.get(), keycode(0x11), True, CurrentTime);
    physicalKey(0x1B, true);
    physicalKey(0x1B, false);
    XTestFakeKeyEvent(display.get(), keycode(0x11), False, CurrentTime);
    XSync(display.get(), False);
    runEventsUntil([] { return false; }, 200);
    EXPECT_TRUE(messages.shown.empty());

    physicalKey(0x11, true);
    physicalKey(0x1B, true);
    // With no main window to raise, the engine says it cannot reset.
    ASSERT_TRUE(runEventsUntil([this] { return !messages.shown.empty(); }, 3000));
    physicalKey(0x1B, false);
    physicalKey(0x11, false);
    runEventsUntil([] { return false; }, 100);
    for (const ObservedEvent& event : observer->events()) {  // the playback ended at once
        EXPECT_FALSE(event.type == kKeyRelease && event.detail == keycode(0x41));
        EXPECT_FALSE(event.type == kKeyPress && event.detail == keycode(kNextCommandVk));
    }
}

}  // namespace
}  // namespace ks::test
