#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

#include "CommandFixture.h"
#include "RecordingMessages.h"
#include "XvfbSession.h"
#include "platform/qt/QtClock.h"
#include "platform/x11/X11Platform.h"
#include "system/ScriptedRun.h"
#include "system/WindowCommands.h"

// Last: Xlib's macros (None, Status) would replace names in the headers above.
#include <X11/Xlib.h>

namespace ks {
namespace {

using namespace std::chrono_literals;

// On a private Xvfb with openbox, windows of another client (the test's connection).
class WindowX11Test : public test::CommandFixture {
protected:
    // The spacer takes the client slot of the session's probe, whose window
    // ids the manager may still hold: a window of ours could be taken for it.
    static void SetUpTestSuite() {
        session_ = std::make_unique<test::XvfbSession>();
        spacer_ = XOpenDisplay(session_->display().c_str());
    }
    static void TearDownTestSuite() { XCloseDisplay(spacer_), session_.reset(); }

    Window open(const std::string& title) {
        const Window window =
            XCreateSimpleWindow(x, DefaultRootWindow(x), 100, 100, 200, 150, 0, 0, 0xffffff);
        XMapWindow(x, window);
        XStoreName(x, window, title.c_str());
        XSync(x, False);
        EXPECT_TRUE(reaches(window, WindowState::Normal)) << title;
        return window;
    }
    void close(Window window) {
        XDestroyWindow(x, window);
        XSync(x, False);
    }
    // Soon in `state` and, when given, with the outer rectangle `at`.
    bool reaches(Window window, WindowState state, std::optional<ScreenRect> at = {}) {
        return test::eventually([&] {
            const auto placement = windows.placement(window);
            const ScreenRect r = placement ? placement->normal : ScreenRect{};
            return placement && placement->state == state &&
                   (!at || std::tie(r.left, r.top, r.right, r.bottom) ==
                               std::tie(at->left, at->top, at->right, at->bottom));
        });
    }
    CommandResult waitFor(std::uint32_t forOpen, const char* count, const char* timeout,
                          std::uint32_t abortOnFail, std::function<void(int)> atLook) {
        run.looks = 0;
        run.onWait = std::move(atLook);
        return runCommand(commands, kWaitForWindow,
                          {{"WaitWindowName", "wait target*"},
                           {"WaitWindowTimeOut", timeout},
                           {"NumWins", count}},
                          {{"WaitForOpen", forOpen}, {"AbortOnFail", abortOnFail}});
    }

    static inline std::unique_ptr<test::XvfbSession> session_;
    static inline Display* spacer_ = nullptr;
    std::unique_ptr<Display, int (*)(Display*)> display_{XOpenDisplay(session_->display().c_str()),
                                                         XCloseDisplay};
    Display* x = display_.get();
    std::unique_ptr<x11::X11Platform> platform_ =
        std::move(*x11::X11Platform::open(session_->display()));
    WindowControl& windows = platform_->windows();
    test::RecordingMessages messages;
    QtClock clock;
    test::ScriptedRun run;
    WindowCommands commands{messages, run, clock, windows};
};

TEST_F(WindowX11Test, MoveAndSizeRestoredWindowsOnly) {
    const Window one = open("Move Me One"), two = open("Move Me Two"), max = open("Move Me Max");
    windows.show(max, ShowCommand::ShowMaximized);
    const ScreenRect screen{0, 0, windows.screenSize().width, windows.screenSize().height};
    ASSERT_TRUE(reaches(max, WindowState::Maximized, screen));
    const ScreenRect size = *windows.rect(one);
    runCommand(commands, kMoveWindow,
               {{"WindowName", "move me*"}, {"LeftCoord", "40"}, {"TopCoord", "50.9"}});
    const ScreenRect moved{40, 50, 40 + size.right - size.left, 50 + size.bottom - size.top};
    EXPECT_TRUE(reaches(one, WindowState::Normal, moved) &&
                reaches(two, WindowState::Normal, moved));
    EXPECT_TRUE(reaches(max, WindowState::Maximized, screen));
    runCommand(commands, kSizeWindow,
               {{"WindowName", "MOVE ME ONE"}, {"Width", "300"}, {"Height", "+200"}});
    EXPECT_TRUE(reaches(one, WindowState::Normal, ScreenRect{40, 50, 340, 250}));
    runCommand(commands, kMoveWindow, {{"WindowName", "move me max"}});
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Window not found: MOVE ME MAX"});
}

// SHOW WINDOW on matching windows, hidden ones too: each style gives its
// state, and activates one of them or leaves the one active before.
TEST_F(WindowX11Test, ShowStylesGiveTheirStateWithOrWithoutActivation) {
    const Window one = open("Show Me One"), two = open("Show Me Two"), other = open("Other");
    writeText("WindowName", "show me*");
    using enum WindowState;
    const std::tuple<int, WindowState, bool> cases[] = {
        {0, Hidden, false}, {8, Normal, false},    {0, Hidden, false},   {7, Minimized, false},
        {9, Normal, true},  {6, Minimized, false}, {4, Normal, false},   {3, Maximized, true},
        {4, Normal, false}, {0, Hidden, false},    {3, Maximized, true}, {1, Normal, true},
    };
    for (const auto& [style, state, active] : cases) {
        ASSERT_TRUE(windows.setForeground(other));
        runCommand(commands, kShowWindow, {}, {{"Style", static_cast<std::uint32_t>(style)}});
        for (Window window : {one, two}) EXPECT_TRUE(reaches(window, state)) << style;
        if (!active) std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(test::eventually([&] {
            const auto now = windows.foreground();
            return active ? now == one || now == two : now == other;
        })) << style;
    }
}

// Windows open, are renamed or close at given looks; the count or the time-out ends it.
TEST_F(WindowX11Test, WaitCountsWindowsThatOpenOrClose) {
    std::vector<Window> made{open("Unrelated"), open("Wait Target A"), open("Wait Target B")};
    const auto act = [&](int look) {
        if (look == 3) made.push_back(open("Wait Target C"));
        if (look == 6) XStoreName(x, made[0], "Wait Target D"), XSync(x, False);
    };
    EXPECT_EQ(waitFor(1, "4", "5", 1, act), CommandResult::Next);
    EXPECT_GE(run.looks, 6);
    const auto closeTwo = [&](int look) {
        if (look == 3 || look == 6) close(made[static_cast<std::size_t>(look / 3)]);
    };
    EXPECT_EQ(waitFor(0, "2", "5", 1, closeTwo), CommandResult::Next);
    EXPECT_GE(run.looks, 6);
    // Two windows closing between looks overshoot a count of one.
    const auto closeBoth = [&](int look) {
        if (look == 3) close(made[0]), close(made[3]);
    };
    EXPECT_EQ(waitFor(0, "1", "1", 0, closeBoth), CommandResult::Next);
    EXPECT_EQ(waitFor(1, "1", "1", 1, nullptr), CommandResult::Failed);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>(2, "WAIT FOR WINDOW operation failed: \"WAIT TARGET*\""));
    EXPECT_TRUE(messages.allShownAs("WAIT FOR WINDOW command timed out", MsgIcon::Information));
}

}  // namespace
}  // namespace ks
