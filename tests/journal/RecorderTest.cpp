#include <gtest/gtest.h>

#include <functional>

#include "RecorderDoubles.h"
#include "RecordingInput.h"
#include "UsKeymap.h"
#include "journal/CaptureTranslation.h"
#include "journal/Recorder.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

using Kind = CapturedInput::Kind;
constexpr std::uint32_t kCtrl = CapturedInput::kControl;
constexpr std::uint32_t kAlt = CapturedInput::kAlt;
constexpr std::uint32_t kKeyA = 38, kKeyControl = 37, kKeyAlt = 64, kKeyPause = 127;
constexpr WindowId kTarget = 500;
constexpr WindowId kMain = 77;

CapturedInput key(std::uint32_t code, bool down, std::uint32_t time, std::uint32_t mods = 0) {
    return {down ? Kind::KeyPress : Kind::KeyRelease, code, mods, 5, 6, time, 0x400001};
}
CapturedInput button(std::uint32_t number, bool down, std::int32_t x, std::int32_t y,
                     std::uint32_t time) {
    return {down ? Kind::ButtonPress : Kind::ButtonRelease, number, 0, x, y, time, 0x600002};
}
CapturedInput motion(std::int32_t x, std::int32_t y, std::uint32_t time) {
    return {Kind::Motion, 0, 0, x, y, time, 0x600002};
}
std::vector<CapturedInput> ctrlBreak(std::uint32_t time) {
    return {key(kKeyControl, true, time), key(kKeyPause, true, time + 5, kCtrl),
            key(kKeyPause, false, time + 9, kCtrl), key(kKeyControl, false, time + 12, kCtrl)};
}

TEST(CaptureTranslationTest, EachInputBecomesItsJournalEvent) {
    const KeyLayout layout = usKeyLayout();
    struct Case {
        const char* what;
        CapturedInput input;
        std::optional<JournalEvent> expected;
    };
    const std::uint32_t aL = 0x41 | (30u << 8);
    const std::vector<Case> cases = {
        {"key down", key(kKeyA, true, 10), JournalEvent{kWmKeyDown, aL, 30, 10, 0x400001}},
        {"key up", key(kKeyA, false, 11), JournalEvent{kWmKeyUp, aL, 30, 11, 0x400001}},
        {"with Alt", key(kKeyA, true, 12, kAlt), JournalEvent{kWmSysKeyDown, aL, 30, 12, 0x400001}},
        {"Alt itself", key(kKeyAlt, true, 13),
         JournalEvent{kWmSysKeyDown, 0x12 | (56u << 8), 56, 13, 0x400001}},
        {"Ctrl+Alt is no system key", key(kKeyA, true, 14, kAlt | kCtrl),
         JournalEvent{kWmKeyDown, aL, 30, 14, 0x400001}},
        {"Pause", key(kKeyPause, true, 15),
         JournalEvent{kWmKeyDown, 0x13 | (119u << 8), 119, 15, 0x400001}},
        {"Ctrl+Pause is Cancel", key(kKeyPause, true, 16, kCtrl),
         JournalEvent{kWmKeyDown, 0x03 | (119u << 8), 119, 16, 0x400001}},
        {"key the layout lacks", key(200, true, 17),
         JournalEvent{kWmKeyDown, 192u << 8, 192, 17, 0x400001}},
        {"motion", motion(300, 400, 18), JournalEvent{kWmMouseMove, 300, 400, 18, 0x600002}},
        {"left down", button(1, true, 1, 2, 19), JournalEvent{kWmLButtonDown, 1, 2, 19, 0x600002}},
        {"middle up", button(2, false, 1, 2, 22), JournalEvent{kWmMButtonUp, 1, 2, 22, 0x600002}},
        {"right up", button(3, false, 1, 2, 24), JournalEvent{kWmRButtonUp, 1, 2, 24, 0x600002}},
        {"wheel away", button(4, true, 7, 8, 25), JournalEvent{kWmMouseWheel, 7, 8, 25, 120}},
        {"wheel toward", button(5, true, 7, 8, 26),
         JournalEvent{kWmMouseWheel, 7, 8, 26, static_cast<std::uint32_t>(-120)}},
        {"wheel release", button(4, false, 7, 8, 27), std::nullopt},
        {"tilt", button(6, true, 7, 8, 28), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toJournalEvent(c.input, layout), c.expected) << c.what;
    }
}

TEST(RecorderWindowListTest, CaptionsFollowTheTitles) {
    FakeWindowControl windows;
    windows.windows = {
        {10, "Editor  \t", false}, {11, "", true}, {12, "", false}, {13, "  ", false}};
    const auto rows = recorderWindowList(windows);
    std::vector<std::pair<WindowId, std::string>> listed;
    for (const RecorderWindow& row : rows) listed.emplace_back(row.id, row.caption);
    EXPECT_EQ(listed, (std::vector<std::pair<WindowId, std::string>>{
                          {10, "Editor"}, {11, "Task Bar"}, {12, "Editor"}, {13, "Editor"}}));
    windows.windows.clear();
    EXPECT_TRUE(recorderWindowList(windows).empty());
}

class RecorderTest : public StoreFixture {
protected:
    RecorderTest() : recorder(services(), host) { windows.own = {kMain}; }

    Recorder::Services services() {
        return {*store, messages, windows, keymap, capture, cancelWatch};
    }

    // Record in the target window and let the start go through.
    void startCapture(WindowId window = kTarget) {
        recorder.Record(window);
        host.runPosted();
        ASSERT_TRUE(capture.capturing);
    }

    void endWithCtrlBreak(std::uint32_t time) {
        capture.deliver(ctrlBreak(time));
        EXPECT_FALSE(capture.capturing);
        host.runPosted();
    }

    std::vector<JournalEvent> stored(const std::string& name) {
        auto events = LoadRecordingForPlayback(*store, name);
        return events ? *events : std::vector<JournalEvent>{};
    }

    FakeWindowControl windows;
    FixedKeymap keymap;
    FakeCapture capture;
    ScriptedCancelWatch cancelWatch;
    FakeRecorderHost host;
    Recorder recorder;
};

TEST_F(RecorderTest, RecordsUntilCtrlBreakAndSavesWithoutTheBreak) {
    startCapture();
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"attach 500", "foreground 500"}));
    capture.deliver({motion(10, 20, 1000), key(kKeyA, true, 1010), key(kKeyA, false, 1030),
                     button(1, true, 10, 20, 1100)});
    capture.deliver({button(1, false, 11, 21, 1150)});
    endWithCtrlBreak(1200);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Recording stopped!"});
    EXPECT_EQ(messages.shown[0].title, "Attention");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(host.calls, std::vector<std::string>{"raise"});
    EXPECT_EQ(windows.calls.back(), "detach 500");
    // The Control press of Ctrl+Break is kept until the save drops it.
    ASSERT_EQ(recorder.events()->size(), 6u);

    ASSERT_TRUE(recorder.Save("Rec", {}));
    EXPECT_EQ(recorder.events(), nullptr);
    const std::uint32_t aL = 0x41 | (30u << 8);
    EXPECT_EQ(stored("Rec"), (std::vector<JournalEvent>{
                                 {kWmMouseMove, 10, 20, 1000, 0x600002},
                                 {kWmKeyDown, aL, 30, 1010, 0x400001},
                                 {kWmKeyUp, aL, 30, 1030, 0x400001},
                                 {kWmLButtonDown, 10, 20, 1100, 0x600002},
                                 {kWmLButtonUp, 11, 21, 1150, 0x600002},
                             }));
    EXPECT_EQ(ListRecordings(*store), (std::vector<RecordingRow>{{"Rec", "Keyboard & Mouse", 1}}));
}

TEST_F(RecorderTest, TheTypeFiltersWhatIsKept) {
    struct Case {
        RecordingType type;
        std::vector<std::uint32_t> messages;
    };
    const std::vector<Case> cases = {
        {RecordingType::KeyboardAndMouse, {kWmMouseMove, kWmKeyDown, kWmMouseWheel, kWmKeyUp}},
        {RecordingType::Keyboard, {kWmKeyDown, kWmKeyUp}},
        {RecordingType::Mouse, {kWmMouseMove, kWmMouseWheel}},
    };
    for (const Case& c : cases) {
        recorder.setType(c.type);
        startCapture();
        capture.deliver({motion(1, 1, 1), key(kKeyA, true, 2), button(4, true, 1, 1, 3),
                         button(4, false, 1, 1, 4), key(kKeyA, false, 5)});
        endWithCtrlBreak(10);
        std::vector<std::uint32_t> kept;
        for (const JournalEvent& event : *recorder.events()) kept.push_back(event.message);
        // Keyboard captures keep the Control press of Ctrl+Break until saved;
        // each capture starts empty.
        if (c.type != RecordingType::Mouse) kept.pop_back();
        EXPECT_EQ(kept, c.messages) << static_cast<int>(c.type);
    }
}

TEST_F(RecorderTest, TheBufferGrowsBy10000) {
    startCapture();
    EXPECT_EQ(recorder.capacity(), 10000u);
    std::vector<std::size_t> capacities;
    for (std::uint32_t block = 0; block < 25; ++block) {
        std::vector<CapturedInput> inputs;
        for (std::uint32_t i = 0; i < 1000; ++i)
            inputs.push_back(motion(i, block, block * 1000 + i));
        capture.deliver(inputs);
        if (capacities.empty() || capacities.back() != recorder.capacity()) {
            capacities.push_back(recorder.capacity());
        }
    }
    EXPECT_EQ(capacities, (std::vector<std::size_t>{10000, 20000, 30000}));
    endWithCtrlBreak(30000);
    ASSERT_TRUE(recorder.Save("Big", {}));
    const auto events = stored("Big");
    ASSERT_EQ(events.size(), 25000u);
    EXPECT_EQ(events[24999], (JournalEvent{kWmMouseMove, 999, 24, 24999, 0x600002}));
}

TEST_F(RecorderTest, ABufferThatCannotGrowEndsTheCapture) {
    Recorder limited(services(), host, 15000);
    limited.Record(kTarget);
    host.runPosted();
    std::vector<CapturedInput> inputs(12000, motion(1, 2, 3));
    capture.deliver(inputs);
    EXPECT_EQ(limited.events()->size(), 10000u);
    capture.deliver({key(kKeyA, true, 4)});
    EXPECT_EQ(limited.events()->size(), 10000u);  // nothing more until handled
    host.runPosted();
    EXPECT_FALSE(capture.capturing);
    EXPECT_EQ(limited.events(), nullptr);
    ASSERT_EQ(messages.texts(), std::vector<std::string>{"System error while recording.  Retry!"});
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].owner, MsgOwner::SystemModal);
}

TEST_F(RecorderTest, NoRoomForTheFirstEventsClosesTheDialog) {
    Recorder limited(services(), host, 5000);
    limited.Record(kTarget);
    host.runPosted();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Error allocating memory!"});
    EXPECT_EQ(host.calls, std::vector<std::string>{"close"});
    EXPECT_EQ(capture.starts, 0);
    EXPECT_EQ(windows.calls.back(), "detach 500");
}

// A capture the system ends and a physical cancel (even twice) end alike.
TEST_F(RecorderTest, ALostCaptureReleasesTheEvents) {
    for (const std::function<void()>& lose : std::vector<std::function<void()>>{
             [this] { capture.lose(); }, [this] { cancelWatch.fire(), cancelWatch.fire(); }}) {
        messages.clear();
        startCapture();
        capture.deliver({key(kKeyA, true, 1)});
        lose();
        host.runPosted();
        EXPECT_EQ(recorder.events(), nullptr);
        EXPECT_FALSE(recorder.capturing() || capture.capturing || cancelWatch.watching());
        ASSERT_EQ(messages.texts(),
                  std::vector<std::string>{
                      "Recording has been terminated by the system!  Please try again!"});
        EXPECT_EQ(messages.shown[0].owner, MsgOwner::SystemModal);
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    }
    messages.clear();
    EXPECT_FALSE(recorder.Save("Rec", {}));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"A recording has not been made!"});
}

TEST_F(RecorderTest, StartingFailuresLeaveNothingBehind) {
    struct Case {
        const char* what;
        std::optional<WindowId> window;
        std::function<void()> arrange;
        std::string text;
        std::vector<std::string> windowCalls;
    };
    const std::vector<Case> cases = {
        {"no window", std::nullopt, [] {}, "No starting window selected!", {}},
        {"attach refused",
         kTarget,
         [this] { windows.refuseAttach = true; },
         "Unable to attach to window you selected to start in!",
         {"attach 500"}},
        {"foreground refused",
         kTarget,
         [this] { windows.refuseForeground = true; },
         "Unable to bring the selected window to the foreground!",
         {"attach 500", "foreground 500", "detach 500"}},
        {"capture refused",
         kTarget,
         [this] { capture.refuse = true; },
         "Unable to set hook for recording!",
         {"attach 500", "foreground 500", "detach 500"}},
        {"watch refused",
         kTarget,
         [this] { cancelWatch.startable = false; },
         "Unable to set hook for message pump!",
         {"attach 500", "foreground 500", "detach 500"}},
    };
    for (const Case& c : cases) {
        windows.calls.clear();
        windows.refuseAttach = windows.refuseForeground = capture.refuse = false;
        cancelWatch.startable = true;
        messages.clear();
        c.arrange();
        recorder.Record(c.window);
        host.runPosted();
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.text}) << c.what;
        EXPECT_EQ(windows.calls, c.windowCalls) << c.what;
        EXPECT_FALSE(capture.capturing) << c.what;
        EXPECT_EQ(recorder.events(), nullptr) << c.what;
    }
}

TEST_F(RecorderTest, TheProgramsOwnWindowOrTheDesktopStartWithoutAFocusChange) {
    for (WindowId window : {kMain, windows.desktop}) {
        windows.calls.clear();
        startCapture(window);
        EXPECT_TRUE(windows.calls.empty());
        recorder.Cancel();
        EXPECT_FALSE(capture.capturing);
    }
}

TEST_F(RecorderTest, LateStepsOfAnAbandonedCaptureDoNothing) {
    recorder.Record(kTarget);
    recorder.Cancel();
    host.runPosted();
    EXPECT_FALSE(capture.capturing);
    EXPECT_EQ(capture.starts, 0);

    startCapture();
    capture.deliver(ctrlBreak(1));
    recorder.Cancel();
    host.runPosted();
    EXPECT_TRUE(messages.shown.empty());  // no "Recording stopped!" after Cancel
}

TEST_F(RecorderTest, TheMainWindowIsMinimisedOnlyWhileCapturing) {
    recorder.setMinimize(true);
    recorder.Record(kTarget);
    EXPECT_TRUE(host.calls.empty());
    host.runPosted();
    EXPECT_EQ(host.calls, std::vector<std::string>{"minimize"});
    endWithCtrlBreak(1);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"minimize", "raise", "restore"}));
    host.calls.clear();
    recorder.Cancel();
    EXPECT_TRUE(host.calls.empty());  // nothing to restore
}

}  // namespace
}  // namespace ks::test
