#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "FakeClock.h"
#include "FakeExpander.h"
#include "RecordingMessages.h"
#include "system/WindowCommands.h"

namespace ks {
namespace {

// A desktop of windows the test sets out; records what is moved and shown.
class DesktopDouble final : public WindowControl {
public:
    struct Entry {
        std::string title;
        WindowState state = WindowState::Normal;
        ScreenRect rect{10, 20, 110, 220};
    };

    std::optional<WindowId> foreground() override { return std::nullopt; }
    bool isOwnWindow(WindowId window) override { return window == own; }
    bool isDesktop(WindowId window) override { return window == desktop; }
    bool attachInput(WindowId window) override { return window != gone; }
    void detachInput(WindowId) override {}
    std::optional<ScreenRect> rect(WindowId window) override { return windows.at(window).rect; }
    ScreenSize screenSize() override { return {1024, 768}; }
    std::vector<TopLevelWindow> topLevelWindows() override { return list(false); }
    std::vector<TopLevelWindow> allTopLevelWindows() override { return list(true); }
    bool setForeground(WindowId) override { return true; }
    bool show(WindowId window, ShowCommand command) override {
        shown.push_back({window, command});
        return true;
    }
    std::optional<WindowPlacement> placement(WindowId window) override {
        return WindowPlacement{windows.at(window).state, windows.at(window).rect};
    }
    bool moveResize(WindowId window, const ScreenRect& outer) override {
        windows.at(window).rect = outer;
        moved.push_back(window);
        return true;
    }

    std::vector<TopLevelWindow> list(bool hiddenToo) const {
        std::vector<TopLevelWindow> out;
        for (const auto& [id, entry] : windows) {
            if (hiddenToo || entry.state != WindowState::Hidden) out.push_back({id, entry.title});
        }
        return out;
    }

    std::map<WindowId, Entry> windows;
    WindowId own = 0, desktop = 0, gone = 0;
    std::vector<WindowId> moved;
    std::vector<std::pair<WindowId, ShowCommand>> shown;
};

// A run whose waits move the virtual clock on and let the test change the
// desktop at each look.
class SteppedRun final : public RunControl {
public:
    explicit SteppedRun(test::FakeClock& clock) : clock_(clock) {}
    RunGeneration CurrentRun() const override { return run; }
    void EndRun() override { run = 0; }
    void EndRun(RunGeneration) override { run = 0; }
    bool PostRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool WaitWhileRunning(std::chrono::milliseconds duration) override {
        clock_.set(clock_.wallMillis() + duration.count());
        if (onWait) onWait(clock_.wallMillis());
        return run != 0;
    }

    RunGeneration run = 1;
    std::function<void(std::int64_t)> onWait;

private:
    test::FakeClock& clock_;
};

class WindowCommandsTest : public test::CommandFixture {
protected:
    CommandResult runCommand(CommandId id) { return commands.run(id, kCommand); }
    void writeWait(const std::string& timeout, const std::string& count, std::uint32_t forOpen,
                   std::uint32_t abortOnFail = 1) {
        writeText("WaitWindowName", "note*");
        writeText("WaitWindowTimeOut", timeout);
        writeText("NumWins", count);
        writeNumber("WaitForOpen", forOpen);
        writeNumber("AbortOnFail", abortOnFail);
    }

    test::RecordingMessages messages;
    test::FakeExpander expander;
    test::FakeClock clock{1'000'000};
    SteppedRun run{clock};
    DesktopDouble desktop;
    WindowCommands commands{*store, messages, expander, run, clock, desktop};
};

TEST_F(WindowCommandsTest, WaitRefusesBadValuesAndEndsTheRun) {
    const struct {
        const char *timeout, *count, *message;
    } cases[] = {
        {"abc", "1", "Invalid time out value in command \"WAIT FOR WINDOW\"."},
        {"-1", "1", "Invalid time out value in command \"WAIT FOR WINDOW\"."},
        {"1", "0",
         "Invalid parameter for number of windows to wait for in \"WAIT FOR WINDOW\".\n\n"
         "Number must be greater than 0."},
        {"1", "two",
         "Invalid parameter for number of windows to wait for in \"WAIT FOR WINDOW\".\n\n"
         "Number must be greater than 0."},
    };
    for (const auto& c : cases) {
        messages.clear();
        writeWait(c.timeout, c.count, 1);
        EXPECT_EQ(runCommand(kWaitForWindow), CommandResult::Failed) << c.timeout << c.count;
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    }
}

// Windows titled "Notepad" open and close at given virtual times; the wait
// ends with the result, at the time, that its count and time-out give.
TEST_F(WindowCommandsTest, WaitCountsOpenAndClosedWindows) {
    const struct {
        std::uint32_t forOpen;
        const char* count;
        std::map<std::int64_t, int> notepadsAt;  // from this time on, so many windows
        std::uint32_t abortOnFail;
        CommandResult result;
        std::int64_t endsAt;  // virtual milliseconds after the start
        bool timedOut;
    } cases[] = {
        {1, "2", {{0, 1}, {300, 2}}, 1, CommandResult::Next, 300, false},
        {1, "+1", {{0, 3}}, 1, CommandResult::Next, 0, false},
        {0, "2", {{0, 3}, {200, 2}, {500, 1}}, 1, CommandResult::Next, 500, false},
        // Two windows closing between looks overshoot a count of one.
        {0, "1", {{0, 2}, {200, 0}}, 1, CommandResult::Failed, 2000, true},
        {0, "1", {{0, 2}, {200, 0}}, 0, CommandResult::Next, 2000, true},
        {1, "1", {{0, 0}}, 1, CommandResult::Failed, 2000, true},
    };
    for (const auto& c : cases) {
        messages.clear();
        clock.set(1'000'000);
        const auto place = [&](std::int64_t now) {
            desktop.windows.clear();
            desktop.windows[1] = {"Terminal"};
            const int count = std::prev(c.notepadsAt.upper_bound(now - 1'000'000))->second;
            for (int i = 0; i < count; ++i) desktop.windows[10 + i] = {"Notepad"};
        };
        place(clock.wallMillis());
        run.onWait = place;
        writeWait("1", c.count, c.forOpen, c.abortOnFail);
        EXPECT_EQ(runCommand(kWaitForWindow), c.result) << c.count;
        EXPECT_EQ(clock.wallMillis() - 1'000'000, c.endsAt) << c.count;
        if (c.timedOut) {
            EXPECT_EQ(messages.texts(),
                      std::vector<std::string>{"WAIT FOR WINDOW operation failed: \"NOTE*\""});
            EXPECT_TRUE(
                messages.allShownAs("WAIT FOR WINDOW command timed out", MsgIcon::Information));
        } else {
            EXPECT_TRUE(messages.shown.empty());
        }
    }
}

TEST_F(WindowCommandsTest, WaitEndsSilentlyWhenTheRunStops) {
    writeWait("0", "1", 1);
    run.onWait = [&](std::int64_t now) {
        if (now >= 1'000'500) run.run = 0;
    };
    EXPECT_EQ(runCommand(kWaitForWindow), CommandResult::Failed);
    EXPECT_EQ(clock.wallMillis(), 1'000'500);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowCommandsTest, MoveAndSizeCheckTheirNumbers) {
    const struct {
        CommandId id;
        const char *first, *second, *message;
        ScreenRect moved;
    } cases[] = {
        {kMoveWindow, "12.7", "-3", nullptr, {12, -3, 112, 197}},
        {kMoveWindow, "+4.", "-.5", nullptr, {4, 0, 104, 200}},
        {kMoveWindow, "1.2.3", "0", "Left Coordinate: parameter must be an integer.", {}},
        {kMoveWindow, "1", "-", "Top Coordinate: parameter must be an integer.", {}},
        {kMoveWindow, "", "1", "Left Coordinate: parameter must be an integer.", {}},
        {kSizeWindow, "+300", "40", nullptr, {10, 20, 310, 60}},
        {kSizeWindow, "-300", "40", "Width: parameter must be a positive integer.", {}},
        {kSizeWindow, "300", "4.0", "Height: parameter must be a positive integer.", {}},
    };
    for (const auto& c : cases) {
        messages.clear();
        desktop.windows = {{5, {"Notepad"}}};
        writeText("WindowName", "notepad");
        writeText(c.id == kMoveWindow ? "LeftCoord" : "Width", c.first);
        writeText(c.id == kMoveWindow ? "TopCoord" : "Height", c.second);
        EXPECT_EQ(runCommand(c.id), CommandResult::Next);
        const ScreenRect at = desktop.windows.at(5).rect;
        if (c.message) {
            EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
            EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));
            EXPECT_EQ(at.left, 10);
        } else {
            EXPECT_TRUE(messages.shown.empty()) << c.first;
            EXPECT_EQ(std::vector<int>({at.left, at.top, at.right, at.bottom}),
                      std::vector<int>({c.moved.left, c.moved.top, c.moved.right, c.moved.bottom}));
        }
    }
}

// Only restored windows move; every refused window has its own message, and
// nothing moved at all is reported with the pattern.
TEST_F(WindowCommandsTest, MoveActsOnRestoredMatchingWindowsOnly) {
    desktop.windows = {{1, {"Notepad", WindowState::Maximized}},
                       {2, {"Notepad", WindowState::Minimized}},
                       {3, {"notepad", WindowState::Hidden}},
                       {4, {"Notepad"}},
                       {5, {"Notes"}},
                       {6, {"Notepad"}},
                       {7, {"Notepad"}},
                       {8, {"Notepad"}}};
    desktop.own = 6;
    desktop.desktop = 7;
    desktop.gone = 8;
    writeText("WindowName", "NOTEPAD");
    writeText("LeftCoord", "0");
    writeText("TopCoord", "0");
    runCommand(kMoveWindow);
    EXPECT_EQ(desktop.moved, std::vector<WindowId>{4});
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"You can not manipulate this application!",
                                        "You can not manipulate the desktop!",
                                        "Unable to attach to window's message queue!"}));
    EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));

    messages.clear();
    desktop.windows.erase(4);
    runCommand(kMoveWindow);
    EXPECT_EQ(messages.texts().back(), "Window not found: NOTEPAD");
}

TEST_F(WindowCommandsTest, ShowReachesHiddenWindowsAndReportsNoMatch) {
    desktop.windows = {{1, {"Editor", WindowState::Hidden}},
                       {2, {"Editor", WindowState::Maximized}},
                       {3, {"Other"}}};
    writeText("WindowName", "ed*");
    writeNumber("Style", 9);
    runCommand(kShowWindow);
    EXPECT_EQ(desktop.shown, (std::vector<std::pair<WindowId, ShowCommand>>{
                                 {1, ShowCommand::Restore}, {2, ShowCommand::Restore}}));
    EXPECT_TRUE(messages.shown.empty());

    writeText("WindowName", "editors");
    runCommand(kShowWindow);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Window not found: EDITORS"});
}

}  // namespace
}  // namespace ks
