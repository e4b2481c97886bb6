#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "RecordingMessages.h"
#include "XvfbSession.h"
#include "platform/qt/QtClock.h"
#include "platform/x11/X11Platform.h"
#include "system/WindowCommands.h"

// Last: Xlib's macros (None, Status) would replace names in the headers above.
#include <X11/Xlib.h>

namespace ks {
namespace {

using namespace std::chrono_literals;

bool eventually(const std::function<bool()>& holds, std::chrono::milliseconds limit = 3s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A run that waits in real time and lets the test act at every look.
class SleepingRun final : public RunControl {
public:
    RunGeneration CurrentRun() const override { return 1; }
    void EndRun() override {}
    void EndRun(RunGeneration) override {}
    bool PostRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool WaitWhileRunning(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
        if (onWait) onWait(++waits);
        return true;
    }

    int waits = 0;
    std::function<void(int)> onWait;
};

struct DisplayClose {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// Windows of another client, made with Xlib on a connection of the test's
// own; they go when the connection closes.
class WindowX11Test : public test::CommandFixture {
protected:
    static void SetUpTestSuite() { session_ = std::make_unique<test::XvfbSession>(); }
    static void TearDownTestSuite() { session_.reset(); }

    static std::unique_ptr<x11::X11Platform> openPlatform() {
        auto opened = x11::X11Platform::open(session_->display());
        if (!opened) throw std::runtime_error(opened.error());
        return std::move(*opened);
    }

    WindowControl& windows() { return platform_->windows(); }

    Window open(const std::string& title, bool map = true) {
        Display* display = display_.get();
        const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100,
                                                  200, 150, 0, 0, 0xffffff);
        rename(window, title);
        if (!map) return window;
        XMapWindow(display, window);
        XSync(display, False);
        EXPECT_TRUE(reaches(window, WindowState::Normal)) << title;
        return window;
    }
    void rename(Window window, const std::string& title) {
        Display* display = display_.get();
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        XSync(display, False);
    }
    void close(Window window) {
        XDestroyWindow(display_.get(), window);
        XSync(display_.get(), False);
    }
    bool reaches(Window window, WindowState state) {
        return eventually([&] {
            const auto placement = windows().placement(window);
            return placement && placement->state == state;
        });
    }
    CommandResult runCommand(CommandId id) { return commands.run(id, kCommand); }

    static inline std::unique_ptr<test::XvfbSession> session_;
    std::unique_ptr<Display, DisplayClose> display_{XOpenDisplay(session_->display().c_str())};
    std::unique_ptr<x11::X11Platform> platform_ = openPlatform();
    test::RecordingMessages messages;
    test::FakeExpander expander;
    QtClock clock;
    SleepingRun run;
    WindowCommands commands{*store, messages, expander, run, clock, platform_->windows()};
};

TEST_F(WindowX11Test, ListsHoldVisibleWindowsOrHiddenOnesToo) {
    const Window shown = open("Shown Ünïcode");
    const Window hidden = open("Hidden", false);
    const auto has = [](const std::vector<TopLevelWindow>& list, Window window,
                        const std::string& title) {
        return std::find_if(list.begin(), list.end(), [&](const TopLevelWindow& entry) {
                   return entry.id == window && entry.title == title;
               }) != list.end();
    };
    EXPECT_TRUE(has(windows().topLevelWindows(), shown, "Shown Ünïcode"));
    EXPECT_FALSE(has(windows().topLevelWindows(), hidden, "Hidden"));
    EXPECT_TRUE(has(windows().allTopLevelWindows(), shown, "Shown Ünïcode"));
    EXPECT_TRUE(has(windows().allTopLevelWindows(), hidden, "Hidden"));
}

// Each show command from a starting state gives a state, and the window
// becomes the active one or another stays active.
TEST_F(WindowX11Test, ShowCommandsGiveTheirStateWithOrWithoutActivation) {
    const struct {
        WindowState from;
        ShowCommand command;
        WindowState to;
        bool active;
    } cases[] = {
        {WindowState::Normal, ShowCommand::Hide, WindowState::Hidden, false},
        {WindowState::Hidden, ShowCommand::ShowNormal, WindowState::Normal, true},
        {WindowState::Hidden, ShowCommand::ShowNA, WindowState::Normal, false},
        {WindowState::Hidden, ShowCommand::ShowMinNoActive, WindowState::Minimized, false},
        {WindowState::Hidden, ShowCommand::ShowMaximized, WindowState::Maximized, true},
        {WindowState::Normal, ShowCommand::Minimize, WindowState::Minimized, false},
        {WindowState::Normal, ShowCommand::Show, WindowState::Normal, true},
        {WindowState::Minimized, ShowCommand::Restore, WindowState::Normal, true},
        {WindowState::Minimized, ShowCommand::ShowNoActivate, WindowState::Normal, false},
        {WindowState::Minimized, ShowCommand::ShowNA, WindowState::Minimized, false},
        {WindowState::Normal, ShowCommand::ShowMaximized, WindowState::Maximized, true},
        {WindowState::Maximized, ShowCommand::ShowNoActivate, WindowState::Normal, false},
    };
    for (const auto& c : cases) {
        const std::string row = "from " + std::to_string(static_cast<int>(c.from)) + " show " +
                                std::to_string(static_cast<int>(c.command));
        const Window window = open("Target", c.from != WindowState::Hidden);
        if (c.from == WindowState::Minimized) windows().show(window, ShowCommand::Minimize);
        if (c.from == WindowState::Maximized) windows().show(window, ShowCommand::ShowMaximized);
        ASSERT_TRUE(reaches(window, c.from)) << row;
        const Window other = open("Other");
        ASSERT_TRUE(windows().setForeground(other)) << row;

        EXPECT_TRUE(windows().show(window, c.command)) << row;
        EXPECT_TRUE(reaches(window, c.to)) << row;
        if (c.active) {
            EXPECT_TRUE(eventually([&] { return windows().foreground() == window; })) << row;
        } else {
            std::this_thread::sleep_for(200ms);
            EXPECT_EQ(windows().foreground(), other) << row;
        }
        close(window);
        close(other);
    }
}

TEST_F(WindowX11Test, MoveAndSizeRestoredWindowsAndShowHiddenOnes) {
    const Window one = open("Move Me One");
    const Window two = open("Move Me Two");
    const Window maximised = open("Move Me Max");
    windows().show(maximised, ShowCommand::ShowMaximized);
    ASSERT_TRUE(reaches(maximised, WindowState::Maximized));
    const ScreenRect maximisedAt = *windows().rect(maximised);
    const auto at = [&](Window window, int left, int top, int width, int height) {
        return eventually([&] {
            const auto rect = windows().rect(window);
            return rect && rect->left == left && rect->top == top &&
                   rect->right - rect->left == width && rect->bottom - rect->top == height;
        });
    };
    const ScreenRect size = *windows().rect(one);
    const int width = size.right - size.left, height = size.bottom - size.top;

    writeText("WindowName", "move me*");
    writeText("LeftCoord", "40");
    writeText("TopCoord", "50.9");
    runCommand(kMoveWindow);
    EXPECT_TRUE(at(one, 40, 50, width, height));
    EXPECT_TRUE(at(two, 40, 50, width, height));
    EXPECT_TRUE(at(maximised, maximisedAt.left, maximisedAt.top,
                   maximisedAt.right - maximisedAt.left, maximisedAt.bottom - maximisedAt.top));

    writeText("WindowName", "MOVE ME ONE");
    writeText("Width", "300");
    writeText("Height", "+200");
    runCommand(kSizeWindow);
    EXPECT_TRUE(at(one, 40, 50, 300, 200));
    EXPECT_TRUE(messages.shown.empty());

    writeText("WindowName", "move me max");
    runCommand(kMoveWindow);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Window not found: MOVE ME MAX"});

    writeText("WindowName", "Move Me*");
    writeNumber("Style", 0);
    runCommand(kShowWindow);
    for (Window window : {one, two, maximised}) EXPECT_TRUE(reaches(window, WindowState::Hidden));
    writeNumber("Style", 8);
    runCommand(kShowWindow);
    for (Window window : {one, two, maximised}) EXPECT_TRUE(reaches(window, WindowState::Normal));
}

// Windows open and close at given looks of the wait; it ends once the count
// is reached, or with its time-out box.
TEST_F(WindowX11Test, WaitForWindowsToOpenAndToClose) {
    const auto waitFor = [&](std::uint32_t forOpen, const char* count, const char* timeout) {
        writeText("WaitWindowName", "wait target*");
        writeText("WaitWindowTimeOut", timeout);
        writeText("NumWins", count);
        writeNumber("WaitForOpen", forOpen);
        writeNumber("AbortOnFail", 1);
        run.waits = 0;
        return runCommand(kWaitForWindow);
    };
    // The second window is one that takes a matching title.
    std::vector<Window> made{open("Unrelated")};
    run.onWait = [&](int look) {
        if (look == 3) made.push_back(open("Wait Target one"));
        if (look == 6) rename(made.front(), "Wait Target two");
    };
    EXPECT_EQ(waitFor(1, "2", "10"), CommandResult::Next);
    EXPECT_GE(run.waits, 6);

    made.push_back(open("wait target three"));
    run.onWait = [&](int look) {
        if (look == 3 || look == 6) close(made[static_cast<std::size_t>(look / 3)]);
    };
    EXPECT_EQ(waitFor(0, "2", "10"), CommandResult::Next);
    EXPECT_GE(run.waits, 6);
    EXPECT_TRUE(messages.shown.empty());

    run.onWait = nullptr;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(waitFor(1, "2", "1"), CommandResult::Failed);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"WAIT FOR WINDOW operation failed: \"WAIT TARGET*\""});
    EXPECT_TRUE(messages.allShownAs("WAIT FOR WINDOW command timed out", MsgIcon::Information));
}

}  // namespace
}  // namespace ks
