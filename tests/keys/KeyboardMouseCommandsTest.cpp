#include <gtest/gtest.h>

#include <chrono>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "RecordingInput.h"
#include "UsKeymap.h"
#include "keys/KeyboardMouseCommands.h"
#include "keys/WindowActivation.h"

namespace ks::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kInvalidX = "Invalid XCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kInvalidY = "Invalid YCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kRange =
    "Coordinates must be >= 0 or <= 65535 in command \"MOVE MOUSE POINTER\".";
constexpr const char* kAttachForeground = "Unable to attach to window currently in the foreground!";
constexpr std::uint32_t kAbsoluteMove = kMouseMove | kMouseAbsolute;

class KeyboardMouseCommandsTest : public CommandFixture {
protected:
    // What was typed since the last call.
    std::string keysTyped() {
        const std::string out = typed(log);
        log.clear();
        return out;
    }

    InputLog log;
    FixedKeymap keymap;
    RecordingInjector injector{&log};
    RecordingSpareKeys spare;
    FakeKeyboardState keyboard;
    FakeWindowControl windows;
    FakeExpander expander;
    std::vector<std::chrono::milliseconds> sleeps;
    KeyboardMouseCommands commands{*store, messages, expander,
                                   InputServices{keymap, injector, spare, keyboard, windows},
                                   [this](std::chrono::milliseconds ms) { sleeps.push_back(ms); }};
};

TEST_F(KeyboardMouseCommandsTest, SendKeysTypesAStoredLineBreakAsOneEnterAfterExpanding) {
    expander.values["n"] = "a\r\nb";
    for (const char* keys : {"a\r\nb", "{n}"}) {
        writeText("Keys", keys);
        commands.sendKeys(kCommand);
        EXPECT_EQ(keysTyped(), "65/30 13/28 66/48") << keys;
    }
    writeText("Keys", "");
    EXPECT_TRUE(commands.run(kSendKeys, kCommand));
    EXPECT_TRUE(messages.shown.empty());
    commands.sendKeys("m\\Commands\\7");
    EXPECT_EQ(keysTyped(), "");
    EXPECT_EQ(messages.shown.size(), 1u);  // the store's own read error
    EXPECT_EQ(joinLineBreaks("a\r\nb\rc\nd\r\n\r\n"), "a\nb\rc\nd\n\n");
    EXPECT_EQ(joinLineBreaks("\n\r"), "\n\r");
}

TEST_F(KeyboardMouseCommandsTest, KeystrokesCombinationsAndButtonsOfTheFamily) {
    commands.keystroke(kCommand, 65);  // no flags stored yet
    EXPECT_EQ(messages.shown.size(), 1u);
    writeNumber("KeyPressed", 0);
    EXPECT_TRUE(commands.run(65, kCommand));
    EXPECT_EQ(keysTyped(), "65/30");
    writeNumber("KeyPressed", 2);
    // A few rows of the constant tables: the order is what could break.
    const std::tuple<std::uint32_t, const char*, std::uint32_t> cases[] = {
        {65, "65/30^", 0},
        {4366, "17/29 67/46 17/29^", 0},  // CTRL+C, the first combination
        {4371, "18/56 9/15 18/56^", 0},   // ALT+TAB
        {4383, "17/29 40/108 17/29^", 0},
        {4108, "", kMouseLeftDown},
        {4113, "", kMouseRightUp},
    };
    for (const auto& [id, keys, button] : cases) {
        injector.mice.clear();
        EXPECT_TRUE(commands.run(id, kCommand));
        EXPECT_EQ(keysTyped(), keys) << id;
        EXPECT_EQ(injector.mice,
                  (button ? std::vector<MouseEvent>{{button, 0, 0}} : std::vector<MouseEvent>{}))
            << id;
    }
    for (std::uint32_t id : {0u, 256u, 4096u, 4107u, 4115u, 4117u, 4124u, 4365u, 4384u})
        EXPECT_FALSE(commands.run(id, kCommand)) << id;
    EXPECT_EQ(keysTyped(), "");
}

TEST_F(KeyboardMouseCommandsTest, AbsoluteMoveChecksEachExpandedCoordinate) {
    struct Case {
        const char* x;
        const char* y;
        const char* message;  // nullptr: the move happens
        std::int32_t movedX, movedY;
    };
    const Case cases[] = {
        {"32767", "32767", nullptr, 32767, 32767},
        {"+100", "0", nullptr, 100, 0},
        {"65535", "+65535", nullptr, 65535, 65535},
        {"{W}", "7", nullptr, 512, 7},
        {"-5", "1", kInvalidX, 0, 0},
        {"1", "x", kInvalidY, 0, 0},
        {"-5", "x", kInvalidX, 0, 0},
        {"65536", "1", kRange, 0, 0},
        {"1", "65536", kRange, 0, 0},
        {"99999999999999999999", "1", kRange, 0, 0},
        {"65536", "y", kInvalidY, 0, 0},
    };
    expander.values["W"] = "512";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.x) + "," + c.y);
        injector.mice.clear();
        messages.clear();
        writePosition(1, c.x, c.y);
        EXPECT_TRUE(commands.run(kMoveMousePointer, kCommand));
        EXPECT_EQ(messages.texts(),
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));
        EXPECT_EQ(injector.mice,
                  (c.message ? std::vector<MouseEvent>{}
                             : std::vector<MouseEvent>{{kAbsoluteMove, c.movedX, c.movedY}}));
    }
}

TEST_F(KeyboardMouseCommandsTest, MissingIsAbMeansAbsolute) {
    writeText("XABCoord", "5");
    writeText("YABCoord", "6");
    commands.movePointer(kCommand);
    EXPECT_EQ(injector.mice, (std::vector<MouseEvent>{{kAbsoluteMove, 5, 6}}));
    EXPECT_EQ(messages.shown.size(), 1u);  // the store reports the missing value
}

TEST_F(KeyboardMouseCommandsTest, RelativeMoveAddsTheForegroundWindowsCorner) {
    windows.foregroundWindow = 77;
    writePosition(0, "100", "200");
    for (const ScreenRect rect : {ScreenRect{0, 0, 300, 300}, ScreenRect{512, 384, 800, 600},
                                  ScreenRect{-10, 0, 300, 300}}) {
        windows.calls.clear();
        windows.windowRect = rect;
        commands.movePointer(kCommand);
        EXPECT_EQ(windows.calls, (std::vector<std::string>{"attach 77", "rect 77", "detach 77"}));
    }
    const std::vector<MouseEvent> expected{{kAbsoluteMove, 100, 200},
                                           {kAbsoluteMove, 32767 + 100, 32767 + 200},
                                           {kAbsoluteMove, -639 + 100, 200}};
    EXPECT_EQ(injector.mice, expected);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(KeyboardMouseCommandsTest, RelativeMoveReportsWhatKeepsItFromMoving) {
    writePosition(0, "1", "2");
    windows.foregroundWindow = 5;
    windows.own.insert(5);
    commands.movePointer(kCommand);
    windows.foregroundWindow.reset();
    commands.movePointer(kCommand);
    windows.foregroundWindow = 6;
    commands.movePointer(kCommand);  // no rectangle
    EXPECT_TRUE(injector.mice.empty());
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{
                  kAttachForeground, kAttachForeground,
                  "Unable to get window coordinates for window that is in the foreground!"}));
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"attach 5", "attach 6", "detach 6"}));
}

// Lock commands toggle only when the state differs, with no window to attach to.
TEST_F(KeyboardMouseCommandsTest, LockCommandsToggleOnlyWhenTheStateDiffers) {
    struct Case {
        std::uint32_t id;
        LockKey key;
        bool initiallyOn;
        const char* keys;
    };
    const Case cases[] = {
        {4119, LockKey::CapsLock, true, ""},
        {4119, LockKey::CapsLock, false, "20/58!1 20/58!3"},
        {4118, LockKey::CapsLock, true, "20/58!1 20/58!3"},
        {4121, LockKey::ScrollLock, false, "145/70!1 145/70!3"},
        {4120, LockKey::ScrollLock, false, ""},
        {4122, LockKey::NumLock, true, "144/69!1 144/69!3"},
        {4123, LockKey::NumLock, true, ""},
    };
    windows.foregroundWindow = 9;
    windows.refuseAttach = true;
    for (const Case& c : cases) {
        keyboard.on.clear();
        if (c.initiallyOn) keyboard.on.insert(c.key);
        EXPECT_TRUE(commands.run(c.id, kCommand));
        EXPECT_EQ(keysTyped(), c.keys) << c.id;
        EXPECT_EQ(keyboard.isOn(c.key), c.id % 2 == 1) << c.id;
    }
    EXPECT_EQ(sleeps, std::vector<std::chrono::milliseconds>(std::size(cases), 30ms));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(windows.calls.empty());
}

TEST(WindowActivationTest, BringsAWindowForwardAndShowsItOrSaysWhatFailed) {
    constexpr const char* kAttach = "Unable to attach to window you selected to start in!";
    struct Case {
        WindowId window;
        WindowId foreground;
        std::string refused;
        std::vector<std::string> calls;
        const char* message;
    };
    const Case cases[] = {
        {40, 3, "", {"attach 40", "foreground 40", "show 40 3", "detach 40"}, nullptr},
        {40, 40, "", {"attach 40", "show 40 3", "detach 40"}, nullptr},  // already in front
        {40,
         3,
         "foreground",
         {"attach 40", "foreground 40", "detach 40"},
         "Unable to bring the selected window to the foreground!"},
        {40,
         3,
         "show",
         {"attach 40", "foreground 40", "show 40 3", "detach 40"},
         "Unable to show the selected window!"},
        {40, 3, "attach", {"attach 40"}, kAttach},
        {1, 3, "", {"attach 1"}, kAttach},  // the desktop is left alone
    };
    for (const Case& c : cases) {
        FakeWindowControl windows;
        RecordingMessages messages;
        windows.foregroundWindow = c.foreground;
        windows.refuseAttach = c.refused == "attach";
        windows.refuseForeground = c.refused == "foreground";
        windows.refuseShow = c.refused == "show";
        ActivateWindow(windows, messages, c.window, ShowCommand::ShowMaximized);
        EXPECT_EQ(windows.calls, c.calls) << c.window << " " << c.refused;
        EXPECT_EQ(messages.texts(),
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    }
}

}  // namespace
}  // namespace ks::test
