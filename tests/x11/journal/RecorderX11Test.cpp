// The recorder's dialog on a private X server: input synthesised with XTest
// while it captures must arrive in the store exactly, and play back as typed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "EngineRun.h"
#include "QtTestLoop.h"
#include "RecordingMessages.h"
#include "TempDir.h"
#include "TypingWindow.h"
#include "XvfbSession.h"
// clang-format off
#include "platform/x11/X11Platform.h"
#include "app/RecordDialog.h"
#include "journal/CaptureTranslation.h"
#include "journal/RecordingStore.h"
#include "platform/x11/OwnDisplay.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

namespace ks::test {

XvfbSession* session = nullptr;

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kKeyA = 38, kKeyB = 56, kKeyAlt = 64, kKeyF1 = 67, kKeyControl = 37,
                   kKeyPause = 127, kKeyMute = 121;
// What the test synthesised: the event it expects in the store (its time
// left 0), and the span in which the server took it: from just before the
// request was made to the end of the round trip after it.
struct Injected {
    JournalEvent expected;
    Clock::time_point sent;
    Clock::time_point done;
};

std::int64_t millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

class RecorderX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        auto opened = x11::X11Platform::open(session->display());
        ASSERT_TRUE(opened) << opened.error();
        platform = std::move(*opened);
        display = x11::openOwnDisplay(session->display());
        ASSERT_TRUE(display);
        ASSERT_TRUE(store.EnsureRootKeys());
        target = std::make_unique<TypingWindow>(*session, "recording target", 100, 100);
        frame = topLevelOf(target->window());
    }

    void TearDown() override { dialog.reset(); }

    // Opens the dialog, picks the target window and starts capturing.
    void openAndRecord(RecordingType type) {
        dialog = std::make_unique<RecordDialog>(
            RecordDialog::Services{store, messages, platform->windows(), platform->keymap(),
                                   platform->capture(), platform->recordCancelWatch()},
            nullptr, std::vector<std::string>{});
        dialog->show();
        // A loaded window manager may focus the new dialog late; Record must
        // come after that, as a person's click would.
        ASSERT_TRUE(runEventsUntil(
            [this] { return platform->windows().foreground() == dialog->winId(); }, 5000));
        dialog->typeButton(type)->setChecked(true);
        QTreeWidget* list = dialog->windowList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->data(0, Qt::UserRole).toULongLong() == target->window()) {
                list->setCurrentItem(list->topLevelItem(i));
            }
        }
        ASSERT_NE(list->currentItem(), nullptr) << "the target window is not listed";
        dialog->RecordClicked();
        ASSERT_TRUE(runEventsUntil([this] { return dialog->recorder().capturing(); }, 5000));
        // The window manager may still be settling the dialogs' own focus changes.
        EXPECT_TRUE(runEventsUntil(
            [this] { return platform->windows().foreground() == target->window(); }, 3000));
    }

    unsigned long topLevelOf(unsigned long window) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        while (XQueryTree(display.get(), window, &root, &parent, &children, &count)) {
            if (children) XFree(children);
            if (parent == root) return window;
            window = parent;
        }
        return 0;
    }

    void settle(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    void note(const JournalEvent& expected) {
        XSync(display.get(), False);
        injected.push_back({expected, sent, Clock::now()});
    }

    void key(unsigned keycode, bool down, std::uint32_t message) {
        sent = Clock::now();
        XTestFakeKeyEvent(display.get(), keycode, down, CurrentTime);
        const std::uint32_t scan = keycode - 8;
        const std::uint32_t vk =
            platform->keymap().layout()->MapVirtualKey(scan, MapType::ScanToVk);
        note({message, vk | (scan << 8), scan, 0, static_cast<std::uint32_t>(target->window())});
    }
    void motion(int x, int y) {
        sent = Clock::now();
        XTestFakeMotionEvent(display.get(), DefaultScreen(display.get()), x, y, CurrentTime);
        note({kWmMouseMove, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 0,
              static_cast<std::uint32_t>(frame)});
    }
    void button(unsigned number, bool down, std::uint32_t message, int x, int y) {
        sent = Clock::now();
        XTestFakeButtonEvent(display.get(), number, down, CurrentTime);
        const bool wheel = message == kWmMouseWheel;
        note({message, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 0,
              wheel ? static_cast<std::uint32_t>(number == 4 ? 120 : -120)
                    : static_cast<std::uint32_t>(frame)});
    }

    // A mixed sequence with gaps between its events; the pointer stays over the target.
    void injectSequence() {
        motion(200, 150);
        settle(30);
        key(kKeyA, true, kWmKeyDown);
        settle(40);
        key(kKeyA, false, kWmKeyUp);
        settle(25);
        button(1, true, kWmLButtonDown, 200, 150);
        settle(60);
        button(1, false, kWmLButtonUp, 200, 150);
        motion(260, 190);
        settle(35);
        button(3, true, kWmRButtonDown, 260, 190);
        button(3, false, kWmRButtonUp, 260, 190);
        settle(20);
        button(2, true, kWmMButtonDown, 260, 190);
        button(2, false, kWmMButtonUp, 260, 190);
        settle(30);
        button(5, true, kWmMouseWheel, 260, 190);
        XTestFakeButtonEvent(display.get(), 5, False, CurrentTime);  // no event of its own
        settle(45);
        key(kKeyAlt, true, kWmSysKeyDown);
        key(kKeyF1, true, kWmSysKeyDown);
        settle(20);
        key(kKeyF1, false, kWmSysKeyUp);
        key(kKeyAlt, false, kWmSysKeyUp);
        settle(30);
        key(kKeyB, true, kWmKeyDown);
        key(kKeyB, false, kWmKeyUp);
        key(kKeyMute, true, kWmKeyDown);  // no virtual key: played by its scan code
        key(kKeyMute, false, kWmKeyUp);
        settle(30);
    }

    // Ctrl+Break as the user ends a recording with it; waits for the dialog to stop.
    void endWithCtrlBreak() {
        XTestFakeKeyEvent(display.get(), kKeyControl, True, CurrentTime);
        XTestFakeKeyEvent(display.get(), kKeyPause, True, CurrentTime);
        XTestFakeKeyEvent(display.get(), kKeyPause, False, CurrentTime);
        XTestFakeKeyEvent(display.get(), kKeyControl, False, CurrentTime);
        XSync(display.get(), False);
        ASSERT_TRUE(runEventsUntil(
            [this] { return !messages.shown.empty() && !dialog->recorder().capturing(); }, 5000));
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"Recording stopped!"});
        messages.clear();
    }

    // Plays the stored recording `name` through a PLAYBACK RECORDING command
    // to its end, and the macro's next command types B.
    void playBack(const std::string& name) {
        addPlaybackMacro(store, name);
        EngineRun run(store, messages, *platform);
        ASSERT_TRUE(run.runToEnd(10000));
    }

    std::vector<JournalEvent> save(const std::string& name) {
        dialog->nameEdit()->setText(QString::fromStdString(name));
        dialog->SaveClicked();
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << messages.texts().size();
        auto events = LoadRecordingForPlayback(store, name);
        return events ? *events : std::vector<JournalEvent>{};
    }

    // The injected events, compared field by field with the stored ones;
    // each stored gap must lie within what the test saw of the two steps,
    // whatever a loaded machine did to the test's own timing.
    void expectStored(const std::vector<JournalEvent>& stored) {
        const std::vector<Injected>& wanted = injected;
        ASSERT_EQ(stored.size(), wanted.size());
        for (std::size_t n = 0; n < stored.size(); ++n) {
            SCOPED_TRACE(n);
            JournalEvent untimed = stored[n];
            untimed.time = 0;
            EXPECT_EQ(untimed, wanted[n].expected);
            if (n == 0) continue;
            const auto recordedGap = static_cast<std::int64_t>(stored[n].time - stored[n - 1].time);
            EXPECT_GE(recordedGap, millisecondsBetween(wanted[n - 1].done, wanted[n].sent) - 1);
            EXPECT_LE(recordedGap, millisecondsBetween(wanted[n - 1].sent, wanted[n].done) + 1);
        }
    }

    TempDir dir;
    RecordingMessages messages;
    KeyTree tree{dir.file("store.db")};
    SettingsStore store{tree, messages};
    std::unique_ptr<x11::X11Platform> platform;
    x11::OwnDisplay display;
    std::unique_ptr<TypingWindow> target;
    unsigned long frame = 0;
    std::unique_ptr<RecordDialog> dialog;
    std::vector<Injected> injected;
    Clock::time_point sent;
};

TEST_F(RecorderX11Test, ALongCaptureLosesNothing) {
    openAndRecord(RecordingType::Mouse);
    constexpr int kEvents = 25000;
    // In steps of 1,000 that the recorder has taken before the next: RECORD
    // can drop events of a flood that backs up while the machine is loaded.
    constexpr int kStep = 1000;
    for (int i = 0; i < kEvents; ++i) {
        XTestFakeMotionEvent(display.get(), DefaultScreen(display.get()), 200 + i % 2,
                             150 + i % 100, CurrentTime);
        if ((i + 1) % kStep != 0) continue;
        XSync(display.get(), False);
        const auto taken = static_cast<std::size_t>(i + 1);
        ASSERT_TRUE(
            runEventsUntil([&] { return dialog->recorder().events()->size() >= taken; }, 5000))
            << i;
    }
    endWithCtrlBreak();
    const std::vector<JournalEvent> stored = save("Long");
    ASSERT_EQ(stored.size(), static_cast<std::size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i) {
        ASSERT_EQ(stored[i].paramL, 200u + i % 2) << i;
        ASSERT_EQ(stored[i].paramH, 150u + i % 100) << i;
    }
}

TEST_F(RecorderX11Test, StoresExactlyTheInputUpToCtrlBreak) {
    openAndRecord(RecordingType::KeyboardAndMouse);
    injectSequence();
    endWithCtrlBreak();
    const std::vector<JournalEvent> recorded = save("Round");
    expectStored(recorded);
    EXPECT_EQ(ListRecordings(store), (std::vector<RecordingRow>{{"Round", "Keyboard & Mouse", 1}}));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{});
}

// Keys whose meaning depends on the layout or on Num Lock, pressed on the
// keyboard while recording: the recording holds the keys as their names
// say, and playing it into the focused window types what they typed.
TEST_F(RecorderX11Test, LayoutAndNumLockKeysPlayBackAsTheyWereTyped) {
    constexpr unsigned kPad3 = 89, kPadDecimal = 91, kPad5 = 84, kAltGr = 108, kKeyQ = 24;
    const struct {
        const char* layout;
        bool numLock;
        std::vector<unsigned> keys;  // pressed in order, then released in reverse
        std::vector<std::uint32_t> pressedVks;
        std::string played;
    } cases[] = {{"us", true, {kPad3, kPadDecimal, kPad5}, {0x63, 0x6E, 0x65}, "3.5"},
                 {"de", false, {kAltGr, kKeyQ}, {165, 'Q'}, "@"},
                 // PgDn, Delete and Clear: only Delete reaches the window as a character.
                 {"us", false, {kPad3, kPadDecimal, kPad5}, {34, 46, 12}, "\x7f"}};
    const unsigned numLock = XkbKeysymToModifiers(display.get(), XK_Num_Lock);
    std::string typed;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + (c.numLock ? " with Num Lock" : ""));
        ASSERT_TRUE(session->run({"setxkbmap", c.layout}));
        XkbLockModifiers(display.get(), XkbUseCoreKbd, numLock, c.numLock ? numLock : 0);
        XSync(display.get(), False);
        openAndRecord(RecordingType::Keyboard);
        for (unsigned keycode : c.keys)
            XTestFakeKeyEvent(display.get(), keycode, True, CurrentTime);
        for (auto k = c.keys.rbegin(); k != c.keys.rend(); ++k)
            XTestFakeKeyEvent(display.get(), *k, False, CurrentTime);
        endWithCtrlBreak();
        std::vector<std::uint32_t> pressedVks;
        for (const JournalEvent& event : save(c.layout + std::to_string(c.numLock))) {
            EXPECT_TRUE(event.message == kWmKeyDown || event.message == kWmKeyUp) << event.message;
            if (event.message == kWmKeyDown) pressedVks.push_back(virtualKeyOf(event));
        }
        EXPECT_EQ(pressedVks, c.pressedVks);
        typed = target->text(typed.size() + c.played.size());
        dialog.reset();
        platform->windows().setForeground(target->window());
        ASSERT_TRUE(runEventsUntil(
            [this] { return platform->windows().foreground() == target->window(); }, 3000));
        playBack(c.layout + std::to_string(c.numLock));
        typed += c.played + "b";
        EXPECT_EQ(target->text(typed.size()), typed);
    }
}

}  // namespace
}  // namespace ks::test

int main(int argc, char** argv) {
    XInitThreads();
    ::testing::InitGoogleTest(&argc, argv);
    // The dialog shows on the test's own server, never on the developer's display.
    ks::test::XvfbSession xvfb;
    ks::test::session = &xvfb;
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
