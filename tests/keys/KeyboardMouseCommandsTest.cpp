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

constexpr const char* kInvalidX = "Invalid XCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kInvalidY = "Invalid YCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kRange =
    "Coordinates must be >= 0 or <= 65535 in command \"MOVE MOUSE POINTER\".";
constexpr const char* kAttachForeground = "Unable to attach to window currently in the foreground!";
constexpr std::uint32_t kAbsoluteMove = kMouseMove | kMouseAbsolute;

class KeyboardMouseCommandsTest : public CommandFixture {
protected:
    FixedKeymap keymap;
    RecordingInjector injector;
    RecordingSpareKeys spare;
    FakeKeyboardState keyboard;
    FakeWindowControl windows;
    FakeExpander expander;
    std::vector<std::chrono::milliseconds> sleeps;
    KeyboardMouseCommands commands{*store, messages, expander,
                                   InputServices{keymap, injector, spare, keyboard, windows},
                                   [this](std::chrono::milliseconds ms) { sleeps.push_back(ms); }};
};

TEST_F(KeyboardMouseCommandsTest, SendKeysTypesAStoredLineBreakAsOneEnter) {
    writeText("Keys", "a\r\nb");
    commands.sendKeys(kCommand);
    const std::vector<KeyEvent> expected{{'A', 30, 0}, {'A', 30, 2}, {13, 28, 0},
                                         {13, 28, 2},  {'B', 48, 0}, {'B', 48, 2}};
    EXPECT_EQ(injector.keys, expected);

    injector.keys.clear();
    expander.values["n"] = "a\r\nb";
    writeText("Keys", "{n}");
    commands.sendKeys(kCommand);
    EXPECT_EQ(injector.keys, expected);
}

TEST_F(KeyboardMouseCommandsTest, SendKeysWithEmptyOrMissingTextTypesNothing) {
    writeText("Keys", "");
    EXPECT_TRUE(commands.run(4116, kCommand));
    EXPECT_TRUE(messages.shown.empty());
    commands.sendKeys("m\\Commands\\7");
    EXPECT_TRUE(injector.keys.empty());
    EXPECT_EQ(messages.shown.size(), 1u);  // the store's own read error
}

TEST(JoinLineBreaksTest, OnlyCarriageReturnLineFeedPairsAreJoined) {
    EXPECT_EQ(joinLineBreaks("a\r\nb\rc\nd\r\n\r\n"), "a\nb\rc\nd\n\n");
    EXPECT_EQ(joinLineBreaks("\r"), "\r");
    EXPECT_EQ(joinLineBreaks("\n\r"), "\n\r");
}

TEST_F(KeyboardMouseCommandsTest, KeystrokePressesOrReleasesWithTheStoredFlagsOrNothing) {
    commands.keystroke(kCommand, 65);  // no flags stored yet
    EXPECT_TRUE(injector.keys.empty());
    EXPECT_EQ(messages.shown.size(), 1u);
    writeNumber("KeyPressed", 0);
    EXPECT_TRUE(commands.run(65, kCommand));
    writeNumber("KeyPressed", 2);
    commands.keystroke(kCommand, 65);
    EXPECT_EQ(injector.keys, (std::vector<KeyEvent>{{65, 30, 0}, {65, 30, 2}}));
}

TEST_F(KeyboardMouseCommandsTest, CombinationsPressModifierKeyThenReleaseInReverse) {
    struct Case {
        std::uint32_t id;
        std::uint8_t modifier, modifierScan, key, keyScan;
    };
    constexpr std::uint8_t ctrl = 17, alt = 18, ctrlScan = 29, altScan = 56;
    // A few rows of the constant table: the order is what could break.
    const Case cases[] = {{4366, ctrl, ctrlScan, 67, 46},
                          {4371, alt, altScan, 9, 15},
                          {4373, alt, altScan, 115, 62},
                          {4383, ctrl, ctrlScan, 40, 108}};
    for (const Case& c : cases) {
        injector.keys.clear();
        EXPECT_TRUE(commands.run(c.id, kCommand));
        const std::vector<KeyEvent> expected{{c.modifier, c.modifierScan, 0},
                                             {c.key, c.keyScan, 0},
                                             {c.key, c.keyScan, 2},
                                             {c.modifier, c.modifierScan, 2}};
        EXPECT_EQ(injector.keys, expected) << c.id;
    }
}

TEST_F(KeyboardMouseCommandsTest, ButtonCommandsClickWherePointerIs) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {{4108, 2},  {4109, 4}, {4110, 32},
                                                             {4111, 64}, {4112, 8}, {4113, 16}};
    for (const auto& [id, flags] : cases) {
        injector.mice.clear();
        EXPECT_TRUE(commands.run(id, kCommand));
        EXPECT_EQ(injector.mice, (std::vector<MouseEvent>{{flags, 0, 0}})) << id;
    }
}

TEST_F(KeyboardMouseCommandsTest, OtherIdentifiersAreNotThisFamilys) {
    for (std::uint32_t id : {0u, 256u, 4096u, 4107u, 4115u, 4117u, 4124u, 4365u, 4384u}) {
        EXPECT_FALSE(commands.run(id, kCommand)) << id;
    }
    EXPECT_TRUE(injector.keys.empty());
    EXPECT_TRUE(injector.mice.empty());
}

TEST_F(KeyboardMouseCommandsTest, AbsoluteMoveChecksEachCoordinate) {
    struct Case {
        const char* x;
        const char* y;
        const char* message;  // nullptr: the move happens
    };
    const Case cases[] = {
        {"32767", "32767", nullptr}, {"+100", "0", nullptr},  {"65535", "+65535", nullptr},
        {"-5", "1", kInvalidX},      {"1.5", "1", kInvalidX}, {"10 ", "1", kInvalidX},
        {" 10", "1", kInvalidX},     {"", "1", kInvalidX},    {"+", "1", kInvalidX},
        {"++1", "1", kInvalidX},     {"1", "x", kInvalidY},   {"-5", "x", kInvalidX},
        {"65536", "1", kRange},      {"1", "65536", kRange},  {"99999999999999999999", "1", kRange},
        {"65536", "y", kInvalidY},
    };
    for (const Case& c : cases) {
        injector.mice.clear();
        messages.clear();
        writePosition(1, c.x, c.y);
        EXPECT_TRUE(commands.run(4114, kCommand));
        if (c.message) {
            EXPECT_TRUE(injector.mice.empty()) << c.x << "," << c.y;
            ASSERT_EQ(messages.shown.size(), 1u) << c.x << "," << c.y;
            EXPECT_EQ(messages.shown[0].text, c.message);
            EXPECT_EQ(messages.shown[0].title, "Keystrider - Error");
            EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
        } else {
            EXPECT_TRUE(messages.shown.empty());
            const auto x = std::stoi(c.x[0] == '+' ? c.x + 1 : c.x);
            const auto y = std::stoi(c.y[0] == '+' ? c.y + 1 : c.y);
            EXPECT_EQ(injector.mice, (std::vector<MouseEvent>{{kAbsoluteMove, x, y}})) << c.x;
        }
    }
}

TEST_F(KeyboardMouseCommandsTest, CoordinatesAreExpandedBeforeTheyAreChecked) {
    expander.values["W"] = "512";
    writePosition(1, "{W}", "7");
    commands.movePointer(kCommand);
    EXPECT_EQ(injector.mice, (std::vector<MouseEvent>{{kAbsoluteMove, 512, 7}}));
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
    windows.windowRect = ScreenRect{0, 0, 300, 300};
    commands.movePointer(kCommand);
    windows.windowRect = ScreenRect{512, 384, 800, 600};
    commands.movePointer(kCommand);
    windows.windowRect = ScreenRect{-10, 0, 300, 300};
    commands.movePointer(kCommand);
    const std::vector<MouseEvent> expected{{kAbsoluteMove, 100, 200},
                                           {kAbsoluteMove, 32767 + 100, 32767 + 200},
                                           {kAbsoluteMove, -639 + 100, 200}};
    EXPECT_EQ(injector.mice, expected);
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"attach 77", "rect 77", "detach 77", "attach 77", "rect 77",
                                        "detach 77", "attach 77", "rect 77", "detach 77"}));
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

TEST_F(KeyboardMouseCommandsTest, LockCommandsToggleOnlyWhenTheStateDiffers) {
    struct Case {
        std::uint32_t id;
        LockKey key;
        bool initiallyOn;
        std::uint8_t vk;  // 0: no events
    };
    const Case cases[] = {
        {4119, LockKey::CapsLock, true, 0},      {4119, LockKey::CapsLock, false, 20},
        {4118, LockKey::CapsLock, true, 20},     {4118, LockKey::CapsLock, false, 0},
        {4121, LockKey::ScrollLock, false, 145}, {4120, LockKey::ScrollLock, false, 0},
        {4123, LockKey::NumLock, false, 144},    {4122, LockKey::NumLock, true, 144},
        {4123, LockKey::NumLock, true, 0},
    };
    for (const Case& c : cases) {
        injector.keys.clear();
        keyboard.on.clear();
        if (c.initiallyOn) keyboard.on.insert(c.key);
        EXPECT_TRUE(commands.run(c.id, kCommand));
        std::vector<KeyEvent> expected;
        const std::uint8_t scan = keymap.layout()->scanOfVk[c.vk];  // the layout's own lock key
        if (c.vk) expected = {{c.vk, scan, 1}, {c.vk, scan, 3}};
        EXPECT_EQ(injector.keys, expected) << c.id;
        EXPECT_EQ(keyboard.isOn(c.key), c.id % 2 == 1) << c.id;
    }
    EXPECT_EQ(sleeps, std::vector<std::chrono::milliseconds>(std::size(cases),
                                                             std::chrono::milliseconds(30)));
}

TEST_F(KeyboardMouseCommandsTest, LockCommandsNeedNoWindowToAttachTo) {
    windows.foregroundWindow = 9;
    windows.refuseAttach = true;
    commands.lock(LockKey::NumLock, true);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(windows.calls.empty());
    EXPECT_EQ(injector.keys.size(), 2u);
}

class WindowActivationTest : public ::testing::Test {
protected:
    FakeWindowControl windows;
    RecordingMessages messages;
};

TEST_F(WindowActivationTest, BringsAnotherWindowForwardAndShowsIt) {
    windows.foregroundWindow = 3;
    ActivateWindow(windows, messages, 40, ShowCommand::ShowMaximized);
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"attach 40", "foreground 40", "show 40 3", "detach 40"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowActivationTest, AWindowInFrontIsOnlyShown) {
    windows.foregroundWindow = 40;
    ActivateWindow(windows, messages, 40, ShowCommand::ShowNormal);
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"attach 40", "show 40 1", "detach 40"}));
}

TEST_F(WindowActivationTest, ReportsEachFailureWithTitleError) {
    windows.refuseForeground = true;
    ActivateWindow(windows, messages, 40, ShowCommand::Show);
    windows.refuseForeground = false;
    windows.refuseShow = true;
    ActivateWindow(windows, messages, 41, ShowCommand::Show);
    windows.refuseAttach = true;
    ActivateWindow(windows, messages, 42, ShowCommand::Show);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Unable to bring the selected window to the foreground!",
                                        "Unable to show the selected window!",
                                        "Unable to attach to window you selected to start in!"}));
    for (const auto& box : messages.shown) EXPECT_EQ(box.title, "Error");
    EXPECT_EQ(windows.calls.back(), "attach 42");
}

TEST_F(WindowActivationTest, LeavesTheDesktopAlone) {
    windows.refuseAttach = false;
    ActivateWindow(windows, messages, windows.desktop, ShowCommand::Show);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Unable to attach to window you selected to start in!"}));
}

}  // namespace
}  // namespace ks::test
