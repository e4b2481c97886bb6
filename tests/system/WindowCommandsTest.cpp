#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "CommandFixture.h"
#include "RecordingInput.h"
#include "system/FakeSystem.h"
#include "system/Wildcard.h"
#include "system/WindowCommands.h"

namespace ks {
namespace {

// Every value valid but the one a case sets: each is 1, as is the title of
// the one window.
class WindowCommandsTest : public test::CommandFixture {
protected:
    WindowCommandsTest() { reset(); }
    void reset() {
        messages.clear();
        desktop.windows = {{1, "1"}};
        for (const char* name : {"WaitWindowName", "WaitWindowTimeOut", "NumWins", "WindowName",
                                 "LeftCoord", "TopCoord", "Width", "Height"})
            writeText(name, "1");
        for (const char* name : {"WaitForOpen", "AbortOnFail", "Style"}) writeNumber(name, 1);
    }

    test::FakeSystem system;
    test::FakeWindowControl desktop;
    WindowCommands commands{messages, system, system.clock, desktop};
};

TEST_F(WindowCommandsTest, BadValuesShowTheirMessage) {
    constexpr const char* kCount =
        "Invalid parameter for number of windows to wait for in \"WAIT FOR WINDOW\".\n\n"
        "Number must be greater than 0.";
    constexpr const char* kTimeOut = "Invalid time out value in command \"WAIT FOR WINDOW\".";
    const std::tuple<CommandId, const char*, const char*, const char*> cases[] = {
        {kWaitForWindow, "WaitWindowTimeOut", "abc", kTimeOut},
        {kWaitForWindow, "NumWins", "0", kCount},
        {kWaitForWindow, "NumWins", "two", kCount},
        {kMoveWindow, "LeftCoord", "1.2.3", "Left Coordinate: parameter must be an integer."},
        {kMoveWindow, "TopCoord", "-", "Top Coordinate: parameter must be an integer."},
        {kSizeWindow, "Width", "-300", "Width: parameter must be a positive integer."},
        {kSizeWindow, "Height", "4.0", "Height: parameter must be a positive integer."},
        {kShowWindow, "WindowName", "nothing", "Window not found: NOTHING"},
    };
    for (const auto& [id, name, text, message] : cases) {
        reset();
        writeText(name, text);
        const bool wait = id == kWaitForWindow;
        EXPECT_EQ(runCommand(commands, id), wait ? CommandResult::Failed : CommandResult::Next);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{message}) << text;
        EXPECT_TRUE(messages.allShownAs(wait ? "Error" : "Keystrider - Error", MsgIcon::Stop));
    }
}

// Each refusal has its message; the double reads no placement, so none moves.
// A desktop that places no windows says so once, instead of finding none.
TEST_F(WindowCommandsTest, RefusedWindowsAndADesktopThatPlacesNoneHaveTheirOwnMessage) {
    desktop.windows = {{1, "1"}, {2, "1"}, {3, "1"}};
    desktop.own = {2};
    desktop.desktop = 3;
    desktop.refuseAttach = true;
    runCommand(commands, kMoveWindow);
    const std::string noPlacing = "Windows cannot be moved here.";
    desktop.placeRefusal = noPlacing;
    desktop.calls.clear();
    runCommand(commands, kMoveWindow);
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Unable to attach to window's message queue!",
                                        "You can not manipulate this application!",
                                        "You can not manipulate the desktop!",
                                        "Window not found: 1", noPlacing}));
    EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));
}

// A title, the patterns it matches, then those it does not.
TEST(WildcardTest, MatchesAsTheTitleRulesSay) {
    using Patterns = std::vector<std::string_view>;
    const std::tuple<std::string_view, Patterns, Patterns> cases[] = {
        {"NOTEPAD",
         {"*PAD", "NOTE?AD", "NOTEPAD", "*", "*O*A*", "N*E*D"},
         {"NOTEPAD*", "NOTEPA", "*O*A*D*", "????????"}},
        {"", {""}, {"*", "?"}},
        {"A", {}, {""}},
        {"*", {"_*"}, {}},
        {"AB", {"A_B"}, {"_*"}},
        {"_", {"__"}, {}},
        {"A_", {"A_"}, {}},
        {"ÜBER Ä", {"?BER ?"}, {}},
        {"ÜBER", {}, {"U*"}},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", {}, {"*A*A*A*A*A*A*A*A*A*A*B"}},
    };
    for (const auto& [text, matching, other] : cases) {
        SCOPED_TRACE(text);
        for (const auto& pattern : matching) EXPECT_TRUE(MatchWildcard(text, pattern)) << pattern;
        for (const auto& pattern : other) EXPECT_FALSE(MatchWildcard(text, pattern)) << pattern;
    }
}

}  // namespace
}  // namespace ks
