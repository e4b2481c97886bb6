// The journal on a private Xvfb with a German layout and Num Lock on: real
// input captured into the store, and a stored recording played by the
// program's engine into a real window.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

#include "QtTestLoop.h"
#include "RecordObserver.h"
#include "RecorderDoubles.h"
#include "RegText.h"
#include "TempDir.h"
#include "TypingWindow.h"
#include "XTestDriver.h"
#include "app/Engine.h"
#include "journal/RecordingStore.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/X11Platform.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace ks::test {
namespace {

using Keys = std::vector<unsigned>;
// Key codes of the Xvfb keyboard.
constexpr unsigned kEsc = 9, kQ = 24, kUsY = 29, kCtrl = 37, kA = 38, kDeY = 52, kB = 56,
                   kPad3 = 89, kAltGr = 108, kNumLock = 77, kDelete = 119, kMute = 121,
                   kPause = 127;
constexpr std::uint32_t kMuteKey = (kMute - 8) << 8, kDown = kWmKeyDown, kUp = kWmKeyUp,
                        kMove = kWmMouseMove, kLDown = kWmLButtonDown, kLUp = kWmLButtonUp,
                        kWheel = kWmMouseWheel;

// A key by its virtual key, and scan code above it when it has one.
JournalEvent key(std::uint32_t message, std::uint32_t vkScan, std::uint32_t time) {
    return {message, vkScan, vkScan >> 8, time, 0};
}
JournalEvent mouse(std::uint32_t message, std::uint32_t x, std::uint32_t y, std::uint32_t time) {
    return {message, x, y, time, message == kWmMouseWheel ? -120u : 0};
}

// One server for both parts: the recording first, then playback.
TEST(JournalX11Test, RecordsUpToCtrlBreakThenPlaysOnTimeAndOnlyAPhysicalCtrlEscCancels) {
    XInitThreads();
    testApplication();
    XvfbSession xvfb(false);  // no window manager: nothing but the test reacts to input
    XTestDriver driver(xvfb.display());
    ASSERT_TRUE(xvfb.run({"setxkbmap", "de"}));
    driver.chord(Keys{kNumLock});  // on
    auto opened = x11::X11Platform::open(xvfb.display());
    ASSERT_TRUE(opened) << opened.error();
    const std::unique_ptr<x11::X11Platform> platform = std::move(*opened);
    TempDir dir;
    RecordingMessages messages;
    KeyTree tree{dir.file("store.db")};
    SettingsStore store{tree, messages};
    ASSERT_TRUE(store.EnsureRootKeys());
    TypingWindow target(xvfb, "target", 100, 100);

    FakeRecorderHost host;
    Recorder recorder({store, messages, platform->windows(), platform->keymap(),
                       platform->capture(), platform->recordCancelWatch()},
                      host);
    recorder.Record(target.window());
    host.runPosted();
    ASSERT_TRUE(recorder.capturing());
    for (const Keys& keys : {Keys{kA}, Keys{kAltGr, kQ}, Keys{kPad3}, Keys{kNumLock}, Keys{kPad3}})
        driver.chord(keys);
    driver.chord(Keys{kCtrl, kPause});
    ASSERT_TRUE(runEventsUntil([&] { return host.runPosted(), !recorder.capturing(); }, 5000));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Recording stopped!"});
    ASSERT_TRUE(recorder.Save("Rec", {}));

    std::vector<JournalEvent> stored = *loadRecordingForPlayback(store, "Rec");
    for (JournalEvent& event : stored) event.time = 0;
    const auto w = static_cast<std::uint32_t>(target.window());
    const auto typed = [w](std::uint32_t message, std::uint32_t vk, unsigned keycode) {
        return JournalEvent{message, vk | (keycode - 8) << 8, keycode - 8, 0, w};
    };
    // Num Lock on: KP3 is the digit; off: KP3 is PgDn.
    const std::vector<JournalEvent> recorded = {
        typed(kDown, 'A', kA),      typed(kUp, 'A', kA),       typed(kDown, 165, kAltGr),
        typed(kDown, 'Q', kQ),      typed(kUp, 'Q', kQ),       typed(kUp, 165, kAltGr),
        typed(kDown, 0x63, kPad3),  typed(kUp, 0x63, kPad3),   typed(kDown, 0x90, kNumLock),
        typed(kUp, 0x90, kNumLock), typed(kDown, 0x22, kPad3), typed(kUp, 0x22, kPad3)};
    EXPECT_EQ(stored, recorded);

    // The engine's playback, with Num Lock on again; then the player's injector alone.
    driver.chord(Keys{kNumLock});
    messages.clear();
    RecordObserver observer(xvfb.display());
    ASSERT_TRUE(observer.started());
    struct NoWindows final : ProgramFront {
        void shutdown() override {}
        void runCommandLineMacro() override {}
        MainWindow* mainWindow() override { return nullptr; }
    } front;
    Engine engine(store, messages, *platform, front);
    MacroRuns& runs = engine.services().runs;
    // The macro "Mac": PLAYBACK RECORDING "Rec" with every event at recorded speed, then the B
    // key down and up.
    loadReg(tree,
            "[Macros\\Mac\\Commands\\0]\n\"id\"=dword:00001005\n\"JournalName\"=\"Rec\"\n"
            "\"PlayBackEvent\"=dword:1\n\"PlayBackSpeed\"=\"0\"\n[Macros\\Mac\\Commands\\1]\n"
            "\"id\"=dword:42\n\"KeyPressed\"=dword:0\n[Macros\\Mac\\Commands\\2]\n"
            "\"id\"=dword:42\n\"KeyPressed\"=dword:2\n");
    const auto startMacro = [&] {
        return runs.start("Mac") && runEventsUntil([&] { return runs.active(); }, 3000);
    };

    // The mute key has no virtual key: it plays by its scan code. The
    // recording's Ctrl+Esc comes from the XTest device: no cancel.
    const std::vector<JournalEvent> events = {
        mouse(kMove, 200, 150, 10000), key(kDown, 'A', 10005),
        key(kUp, 'A', 10025),          mouse(kLDown, 300, 200, 10050),
        mouse(kLUp, 300, 200, 10110),  mouse(kWheel, 300, 200, 10135),
        key(kDown, kMuteKey, 10160),   key(kUp, kMuteKey, 10165),
        key(kDown, 165, 10185),        key(kDown, 'Q', 10200),
        key(kUp, 'Q', 10210),          key(kUp, 165, 10220),
        key(kDown, 0x63, 10230),       key(kUp, 0x63, 10250),
        key(kDown, 0x2E, 10270),       key(kUp, 0x2E, 10290),
        key(kDown, 0x11, 10300),       key(kDown, 0x1B, 10320),
        key(kUp, 0x1B, 10330),         key(kUp, 0x11, 10340)};
    ASSERT_TRUE(WriteRecording(store, "Rec", events, 1));
    // {type, key code or button, the recorded event it comes from}; a
    // click's position comes as a motion of its own.
    const std::vector<std::array<unsigned, 3>> expected = {
        {kMotionNotify, 0, 0},    {kKeyPress, kA, 1},        {kKeyRelease, kA, 2},
        {kMotionNotify, 0, 3},    {kButtonPress, 1, 3},      {kButtonRelease, 1, 4},
        {kButtonPress, 5, 5},     {kButtonRelease, 5, 5},    {kKeyPress, kMute, 6},
        {kKeyRelease, kMute, 7},  {kKeyPress, kAltGr, 8},    {kKeyPress, kQ, 9},
        {kKeyRelease, kQ, 10},    {kKeyRelease, kAltGr, 11}, {kKeyPress, kPad3, 12},
        {kKeyRelease, kPad3, 13}, {kKeyPress, kDelete, 14},  {kKeyRelease, kDelete, 15},
        {kKeyPress, kCtrl, 16},   {kKeyPress, kEsc, 17},     {kKeyRelease, kEsc, 18},
        {kKeyRelease, kCtrl, 19}, {kKeyPress, kB, 19}};
    ASSERT_TRUE(startMacro());
    ASSERT_TRUE(runEventsUntil([&] { return !runs.active(); }, 10000));
    const std::vector<ObservedEvent> seen = observer.waitFor(expected.size() + 1, 3000);
    ASSERT_EQ(seen.size(), expected.size() + 1);
    std::vector<std::int32_t> lateness;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const auto [type, detail, from] = expected[i];
        EXPECT_EQ(std::pair(seen[i].type, seen[i].detail), std::pair(int(type), detail));
        if (type != kKeyPress && type != kKeyRelease) {
            EXPECT_EQ(std::pair(seen[i].x, seen[i].y),
                      std::pair(int(events[from].paramL), int(events[from].paramH)));
        }
        // Never early (beyond the server's millisecond rounding); one event
        // may be late on a busy machine, but lateness does not add up.
        lateness.push_back(static_cast<std::int32_t>(seen[i].time - seen[0].time) -
                           static_cast<std::int32_t>(events[from].time - events[0].time));
        EXPECT_GE(lateness.back(), -1);
        EXPECT_LE(lateness.back(), 80);
    }
    std::sort(lateness.begin(), lateness.end());
    EXPECT_LE(lateness[lateness.size() / 2], 3);
    EXPECT_TRUE(messages.shown.empty());

    // A request that waits for its reply holds the event up for as long as the
    // server takes to get round to it: the player's injector sends one request
    // per event and nothing else (the new layout read once after a change), yet
    // plays a key by the layout its change notice announced, leaves out a move
    // to where it put the pointer and puts back a pointer the user moved.
    observer.clear();
    auto connection = x11::XConnection::open(xvfb.display());
    ASSERT_TRUE(connection) << connection.error();
    Display* x = (*connection)->display();
    x11::X11Keymap keymap(**connection);
    x11::X11InputInjector injector(**connection, keymap);
    keymap.layout();  // as the playback thread does before its first event
    injector.trackPointer();
    const auto play = [&](std::uint32_t message, std::uint32_t vkOrX, std::uint32_t y) {
        const unsigned long before = NextRequest(x);
        injectJournalEvent(injector, {message, vkOrX, y, 0, 0});
        return NextRequest(x) - before;
    };
    EXPECT_EQ(play(kDown, 'Y', 0), 1u);
    EXPECT_EQ(play(kUp, 'Y', 0), 1u);
    EXPECT_EQ(play(kMove, 10, 20), 1u);
    EXPECT_EQ(play(kMove, 10, 20), 0u);
    // Moved away by the user's mouse, the pointer is put back unasked.
    driver.physicalMoveTo(300, 300);
    XSync(x, False);  // its raw motion is in
    EXPECT_EQ(play(kLDown, 10, 20), 2u);
    EXPECT_EQ(play(kLUp, 10, 20), 1u);
    ASSERT_TRUE(xvfb.run({"setxkbmap", "us"}));
    XSync(x, False);  // the notice is in: a later key finds it among the events received
    EXPECT_GT(play(kDown, 'Y', 0), 1u);  // the new layout read once
    EXPECT_EQ(play(kUp, 'Y', 0), 1u);

    // {type, key code or button or a motion's x}
    const std::vector<std::array<int, 2>> injected = {
        {kKeyPress, kDeY},    {kKeyRelease, kDeY}, {kMotionNotify, 10},
        {kMotionNotify, 300}, {kMotionNotify, 10}, {kButtonPress, 1},
        {kButtonRelease, 1},  {kKeyPress, kUsY},   {kKeyRelease, kUsY}};
    std::vector<std::array<int, 2>> observed;
    for (const ObservedEvent& e : observer.waitFor(injected.size(), 3000))
        observed.push_back({e.type, e.type == kMotionNotify ? e.x : static_cast<int>(e.detail)});
    EXPECT_EQ(observed, injected);

    // A physical Esc while only a synthesised Control is held is no cancel;
    // a physical Ctrl+Esc is.
    ASSERT_TRUE(WriteRecording(store, "Rec", {key(kDown, 'A', 0), key(kUp, 'A', 4000)}, 2));
    observer.clear();
    ASSERT_TRUE(startMacro());
    ASSERT_TRUE(runEventsUntil([&] { return !observer.waitFor(1, 0).empty(); }, 3000));
    driver.key(kCtrl, true);
    driver.physicalKey(kEsc, true);  // synced, the Control before it too
    driver.physicalKey(kEsc, false);
    driver.key(kCtrl, false);
    driver.sync();
    runEventsUntil([] { return false; }, 200);
    EXPECT_TRUE(messages.shown.empty());
    driver.physicalKey(kCtrl, true);
    driver.physicalKey(kEsc, true);
    // With no main window to raise, the engine says it cannot reset.
    ASSERT_TRUE(runEventsUntil([&] { return !messages.shown.empty(); }, 3000));
    driver.physicalKey(kEsc, false);
    driver.physicalKey(kCtrl, false);
    runEventsUntil([] { return false; }, 100);
    for (const ObservedEvent& event : observer.waitFor(0, 0)) {
        EXPECT_FALSE(event.type == kKeyRelease && event.detail == kA);
        EXPECT_FALSE(event.type == kKeyPress && event.detail == kB);
    }
}

}  // namespace
}  // namespace ks::test
