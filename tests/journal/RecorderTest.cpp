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
using Strings = std::vector<std::string>;
constexpr std::uint32_t kCtrl = CapturedInput::kControl, kAlt = CapturedInput::kAlt;
constexpr std::uint32_t kKeyA = 38, kKeyControl = 37, kKeyAlt = 64, kKeyPause = 127;
constexpr std::uint32_t kKeyWindow = 0x400001, kPointerWindow = 0x600002, kAScan = 0x41 | 30 << 8;
constexpr WindowId kTarget = 500, kMain = 77;

CapturedInput key(std::uint32_t code, bool down, std::uint32_t time, std::uint32_t mods = 0) {
    return {down ? Kind::KeyPress : Kind::KeyRelease, code, mods, 5, 6, time, kKeyWindow};
}
CapturedInput button(std::uint32_t number, bool down, std::int32_t x, std::int32_t y,
                     std::uint32_t time) {
    return {down ? Kind::ButtonPress : Kind::ButtonRelease, number, 0, x, y, time, kPointerWindow};
}
CapturedInput motion(std::int32_t x, std::int32_t y, std::uint32_t time) {
    return {Kind::Motion, 0, 0, x, y, time, kPointerWindow};
}
std::vector<CapturedInput> ctrlBreak(std::uint32_t time) {
    return {key(kKeyControl, true, time), key(kKeyPause, true, time + 5, kCtrl),
            key(kKeyPause, false, time + 9, kCtrl), key(kKeyControl, false, time + 12, kCtrl)};
}
JournalEvent keyEvent(std::uint32_t message, std::uint32_t vkScan, std::uint32_t time) {
    return {message, vkScan, vkScan >> 8, time, kKeyWindow};
}
JournalEvent pointerEvent(std::uint32_t message, std::uint32_t x, std::uint32_t y,
                          std::uint32_t time, std::uint32_t hwnd = kPointerWindow) {
    return {message, x, y, time, hwnd};
}

TEST(CaptureTranslationTest, EachInputBecomesItsJournalEvent) {
    const KeyLayout layout = usKeyLayout();
    const std::vector<std::pair<CapturedInput, std::optional<JournalEvent>>> cases = {
        {key(kKeyA, true, 10), keyEvent(kWmKeyDown, kAScan, 10)},
        {key(kKeyA, false, 11), keyEvent(kWmKeyUp, kAScan, 11)},
        {key(kKeyA, true, 12, kAlt), keyEvent(kWmSysKeyDown, kAScan, 12)},
        {key(kKeyAlt, true, 13), keyEvent(kWmSysKeyDown, 0x12 | (56u << 8), 13)},
        {key(kKeyA, true, 14, kAlt | kCtrl), keyEvent(kWmKeyDown, kAScan, 14)},
        {key(kKeyPause, true, 15), keyEvent(kWmKeyDown, 0x13 | (119u << 8), 15)},
        // Ctrl+Pause is Cancel; a key the layout lacks has only its scan code.
        {key(kKeyPause, true, 16, kCtrl), keyEvent(kWmKeyDown, 0x03 | (119u << 8), 16)},
        {key(200, true, 17), keyEvent(kWmKeyDown, 192u << 8, 17)},
        {motion(300, 400, 18), pointerEvent(kWmMouseMove, 300, 400, 18)},
        {button(1, true, 1, 2, 19), pointerEvent(kWmLButtonDown, 1, 2, 19)},
        {button(2, false, 1, 2, 22), pointerEvent(kWmMButtonUp, 1, 2, 22)},
        {button(3, false, 1, 2, 24), pointerEvent(kWmRButtonUp, 1, 2, 24)},
        {button(4, true, 7, 8, 25), pointerEvent(kWmMouseWheel, 7, 8, 25, 120)},
        {button(5, true, 7, 8, 26), pointerEvent(kWmMouseWheel, 7, 8, 26, -120u)},
        {button(4, false, 7, 8, 27), std::nullopt},
        {button(6, true, 7, 8, 28), std::nullopt},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(toJournalEvent(input, layout), expected) << input.time;
}

TEST(RecorderWindowListTest, CaptionsFollowTheTitles) {
    FakeWindowControl windows;
    windows.windows = {
        {10, "Editor  \t", false}, {11, "", true}, {12, "", false}, {13, "  ", false}};
    Strings captions;
    for (const RecorderWindow& row : recorderWindowList(windows)) captions.push_back(row.caption);
    EXPECT_EQ(captions, (Strings{"Editor", "Task Bar", "Editor", "Editor"}));
}

class RecorderTest : public StoreFixture {
protected:
    RecorderTest() { windows.own = {kMain}; }

    Recorder::Services services() {
        return {*store, messages, windows, keymap, capture, cancelWatch};
    }
    // Records in `window` and lets the start go through.
    void startCapture(Recorder& on, std::optional<WindowId> window = kTarget) {
        on.Record(window);
        host.runPosted();
    }
    void endWithCtrlBreak(std::uint32_t time) {
        capture.deliver(ctrlBreak(time));
        EXPECT_FALSE(capture.capturing);
        host.runPosted();
    }

    FakeWindowControl windows;
    FixedKeymap keymap;
    FakeCapture capture;
    ScriptedCancelWatch cancelWatch;
    FakeRecorderHost host;
    Recorder recorder{services(), host};
};

TEST_F(RecorderTest, RecordsUntilCtrlBreakAndSavesWithoutTheBreak) {
    startCapture(recorder);
    EXPECT_EQ(windows.calls, (Strings{"attach 500", "foreground 500"}));
    capture.deliver({motion(10, 20, 1000), key(kKeyA, true, 1010), key(kKeyA, false, 1030),
                     button(1, true, 10, 20, 1100)});
    capture.deliver({button(1, false, 11, 21, 1150)});
    endWithCtrlBreak(1200);
    EXPECT_EQ(boxes(messages), Strings{"Attention: Recording stopped!"});
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(host.calls, Strings{"raise"});
    EXPECT_EQ(windows.calls.back(), "detach 500");

    ASSERT_TRUE(recorder.Save("Rec", {}));
    EXPECT_EQ(recorder.events(), nullptr);
    EXPECT_EQ(loadRecordingForPlayback(*store, "Rec"),
              (std::vector<JournalEvent>{
                  pointerEvent(kWmMouseMove, 10, 20, 1000), keyEvent(kWmKeyDown, kAScan, 1010),
                  keyEvent(kWmKeyUp, kAScan, 1030), pointerEvent(kWmLButtonDown, 10, 20, 1100),
                  pointerEvent(kWmLButtonUp, 11, 21, 1150)}));
    EXPECT_EQ(listRecordings(*store), (std::vector<RecordingRow>{{"Rec", "Keyboard & Mouse", 1}}));
}

TEST_F(RecorderTest, TheTypeFiltersWhatIsKept) {
    // Each capture starts empty; a keyboard one holds Ctrl+Break's Control until saved.
    const std::vector<std::pair<RecordingType, std::vector<std::uint32_t>>> cases = {
        {RecordingType::Keyboard, {kWmKeyDown, kWmKeyUp, kWmKeyDown}},
        {RecordingType::Mouse, {kWmMouseMove, kWmMouseWheel}}};
    for (const auto& [type, expected] : cases) {
        recorder.setType(type);
        startCapture(recorder);
        capture.deliver({motion(1, 1, 1), key(kKeyA, true, 2), button(4, true, 1, 1, 3),
                         button(4, false, 1, 1, 4), key(kKeyA, false, 5)});
        endWithCtrlBreak(10);
        std::vector<std::uint32_t> kept;
        for (const JournalEvent& event : *recorder.events()) kept.push_back(event.message);
        EXPECT_EQ(kept, expected) << static_cast<int>(type);
    }
}

TEST_F(RecorderTest, TheBufferGrowsBy10000UpToItsLimit) {
    startCapture(recorder);
    std::vector<std::size_t> capacities{recorder.capacity()};
    for (std::uint32_t block = 0; block < 25; ++block) {
        capture.deliver(std::vector<CapturedInput>(1000, motion(block, block, block)));
        if (capacities.back() != recorder.capacity()) capacities.push_back(recorder.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<std::size_t>{10000, 20000, 30000}));
    EXPECT_EQ(recorder.events()->back(), pointerEvent(kWmMouseMove, 24, 24, 24));
    endWithCtrlBreak(30000);

    Recorder limited(services(), host, 15000);  // cannot grow beyond 10,000
    startCapture(limited);
    capture.deliver(std::vector<CapturedInput>(12000, motion(1, 2, 3)));
    EXPECT_EQ(limited.events()->size(), 10000u);
    capture.deliver({key(kKeyA, true, 4)});
    EXPECT_EQ(limited.events()->size(), 10000u);  // nothing more until handled
    host.runPosted();
    EXPECT_FALSE(capture.capturing);
    EXPECT_EQ(limited.events(), nullptr);
    ASSERT_EQ(boxes(messages), (Strings{"Attention: Recording stopped!",
                                        "Error: System error while recording.  Retry!"}));
    EXPECT_EQ(messages.shown[1].owner, MsgOwner::SystemModal);

    Recorder none(services(), host, 5000);  // no room for the first 10,000: the dialog closes
    capture.starts = 0;
    windows.calls.clear();
    startCapture(none);
    EXPECT_EQ(messages.texts().back(), "Error allocating memory!");
    EXPECT_EQ(host.calls.back(), "close");
    EXPECT_EQ(capture.starts, 0);
    EXPECT_EQ(windows.calls.back(), "detach 500");
}

// A capture the system ends and a physical cancel (even twice) end alike.
TEST_F(RecorderTest, ALostCaptureReleasesTheEvents) {
    for (const std::function<void()>& lose : std::vector<std::function<void()>>{
             [this] { capture.lose(); }, [this] { cancelWatch.fire(), cancelWatch.fire(); }}) {
        messages.clear();
        startCapture(recorder);
        capture.deliver({key(kKeyA, true, 1)});
        lose();
        host.runPosted();
        EXPECT_EQ(recorder.events(), nullptr);
        EXPECT_FALSE(recorder.capturing() || capture.capturing || cancelWatch.watching());
        ASSERT_EQ(messages.texts(),
                  Strings{"Recording has been terminated by the system!  Please try again!"});
        EXPECT_EQ(messages.shown[0].owner, MsgOwner::SystemModal);
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    }
}

TEST_F(RecorderTest, StartingFailuresLeaveNothingBehind) {
    const Strings attach = {"attach 500"}, undone = {"attach 500", "foreground 500", "detach 500"};
    bool none = false, noWatch = false;
    const std::vector<std::tuple<std::optional<WindowId>, bool*, std::string, Strings>> cases = {
        {std::nullopt, &none, "No starting window selected!", {}},
        {kTarget, &windows.refuseAttach, "Unable to attach to window you selected to start in!",
         attach},
        {kTarget, &windows.refuseForeground,
         "Unable to bring the selected window to the foreground!", undone},
        {kTarget, &capture.refuse, "Unable to set hook for recording!", undone},
        {kTarget, &noWatch, "Unable to set hook for message pump!", undone}};
    for (const auto& [window, refuse, text, windowCalls] : cases) {
        SCOPED_TRACE(text);
        windows.calls.clear();
        messages.clear();
        *refuse = true;
        cancelWatch.startable = !noWatch;
        startCapture(recorder, window);
        *refuse = false;
        EXPECT_EQ(messages.texts(), Strings{text});
        EXPECT_EQ(windows.calls, windowCalls);
        EXPECT_FALSE(capture.capturing);
        EXPECT_EQ(recorder.events(), nullptr);
    }
}

// The program's own window or the desktop start without a focus change; the main window is
// minimised only while capturing; late steps of an abandoned capture do nothing.
TEST_F(RecorderTest, StartsAndEndsTouchOnlyWhatTheyMust) {
    for (WindowId window : {kMain, windows.desktop}) {
        windows.calls.clear();
        startCapture(recorder, window);
        EXPECT_TRUE(capture.capturing);
        EXPECT_TRUE(windows.calls.empty());
        recorder.Cancel();
        EXPECT_FALSE(capture.capturing);
    }

    recorder.setMinimize(true);
    recorder.Record(kTarget);
    EXPECT_TRUE(host.calls.empty());
    host.runPosted();
    EXPECT_EQ(host.calls, Strings{"minimize"});
    endWithCtrlBreak(1);
    EXPECT_EQ(host.calls, (Strings{"minimize", "raise", "restore"}));
    recorder.Cancel();
    EXPECT_EQ(host.calls.size(), 3u);  // nothing more to restore
    recorder.setMinimize(false);

    messages.clear();
    capture.starts = 0;
    recorder.Record(kTarget);
    recorder.Cancel();
    host.runPosted();
    EXPECT_EQ(capture.starts, 0);
    startCapture(recorder);
    capture.deliver(ctrlBreak(1));
    recorder.Cancel();
    host.runPosted();
    EXPECT_TRUE(messages.shown.empty());  // no "Recording stopped!" after Cancel
}

}  // namespace
}  // namespace ks::test
