#include <gtest/gtest.h>

#include <chrono>

#include "CommandFixture.h"
#include "RecordingInput.h"
#include "UsKeymap.h"
#include "keys/KeyNames.h"
#include "keys/KeySequence.h"
#include "keys/KeyboardMouseCommands.h"
#include "keys/WindowActivation.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;

using namespace std::chrono_literals;

// The name tables are constants: a few rows, and the invariant for every key.
TEST(KeyNamesTest, NamesComeFromTheLayoutOrTheFixedTableAndReadBackAsTheirCodes) {
    const KeyLayout us = usKeyLayout();
    const std::pair<std::uint32_t, const char*> display[] = {
        {65, "aA"}, {'1', "1!"}, {13, "RETURN"}, {255, ""}, {0, ""}};
    for (const auto& [code, name] : display) EXPECT_EQ(keyDisplayNameOfKey(us, code), name) << code;
    const std::pair<std::uint32_t, const char*> hotKey[] = {
        {'A', "A"}, {32, "SPACE"}, {7, kUnknownHotKeyText}};
    for (const auto& [code, text] : hotKey) EXPECT_EQ(KeyCodeToHotKeyText(us, code), text) << code;
    // A name is a key's character, a table name in any case, or else its second character.
    const std::pair<const char*, int> cases[] = {{"", -1},      {"!", '1'},   {"\xC3\xA9", 255},
                                                 {"np 5", 101}, {"ret", 'E'}, {"e\xC3\xA9", 255}};
    for (const auto& [name, code] : cases) EXPECT_EQ(KeyNameToCode(us, name), code) << name;
    for (std::uint32_t vk = 1; vk < 256; ++vk) {
        const std::string name = keyDisplayNameOfKey(us, vk);
        if (name.empty()) continue;
        EXPECT_EQ(KeyNameToCode(us, name), static_cast<int>(vk)) << name;
    }
}

TEST(KeySequenceTest, TypesOnLayoutKeysAndBindsTheRestToSpareKeys) {
    // The text, what is typed, the spare keys, the bind that fails (from 1) and Caps Lock.
    // Control characters type their keys without Ctrl; CR and LF both are Enter.
    // Spare keys (scan 200 on) are bound once before typing and given back at the end;
    // more distinct characters than keys are bound a quarter of the keys at a time.
    const std::tuple<const char*, const char*, std::size_t, std::size_t, bool> cases[] = {
        {"", "", 4, 0, false},
        {"Ab1!\n\t\r\b ",
         "16/42 65/30 16/42^ 66/48 49/2 16/42 49/2 16/42^ 13/28 9/15 13/28 8/14 32/57", 4, 0,
         false},
        {"@", "bind@ 0/200 release", 4, 0, false},
        {"éüéü", "bindéü 0/200 0/201 0/200 0/201 release", 2, 0, false},
        {"éüéöaäöß",
         "bindé 0/200 bindü 0/200 bindé 0/200 bindö 0/200 65/30 bindä 0/200 bindö 0/200 bindß "
         "0/200 release",
         4, 0, false},
        {"éxüy", "bindé 0/200 88/45 bindü 89/21 release", 1, 2, false},
        {"éxéy", "88/45 89/21", 0, 0, false},
        {"aB", "nocaps 65/30 16/42 66/48 16/42^ caps", 4, 0, true},
    };
    KeyLayout layout = usKeyLayout();  // with "@" behind AltGr, as on a German keyboard
    layout.keyOfChar[U'@'] = static_cast<std::uint16_t>('Q' | ((kNeedsCtrl | kNeedsAlt) << 8));
    for (const auto& [text, expected, spareKeys, failBind, capsLock] : cases) {
        SCOPED_TRACE(text);
        InputLog log;
        FixedKeymap keymap(layout);
        RecordingInjector injector{&log};
        RecordingSpareKeys spare{&log};
        FakeKeyboardState keyboard{&log};
        std::tie(spare.keys, spare.failBind) = std::tuple(spareKeys, failBind);
        if (capsLock) keyboard.on.insert(LockKey::CapsLock);
        KeySequence(keymap, injector, spare, keyboard).TypeText(text);
        EXPECT_EQ(typed(log), expected);
        EXPECT_EQ(keyboard.isOn(LockKey::CapsLock), capsLock);
    }
}

constexpr const char* kInvalidX = "Invalid XCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kInvalidY = "Invalid YCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kRange =
    "Coordinates must be >= 0 or <= 65535 in command \"MOVE MOUSE POINTER\".";
constexpr const char* kAttachForeground = "Unable to attach to window currently in the foreground!";

// A pointer move as the injector logs it: to absolute normalised coordinates.
std::string moveTo(std::int32_t x, std::int32_t y) {
    return "mouse " + std::to_string(kMouseMove | kMouseAbsolute) + " " + std::to_string(x) + "," +
           std::to_string(y);
}

class KeyboardMouseCommandsTest : public CommandFixture {
protected:
    std::string injected(std::uint32_t id, const TextValues& texts = {},
                         const NumberValues& numbers = {}, const char* path = kCommand) {
        log.clear();
        EXPECT_EQ(runCommand(commands, id, texts, numbers, path), CommandResult::Next);
        return typed(log);
    }

    InputLog log;
    FixedKeymap keymap;
    RecordingInjector injector{&log};
    RecordingSpareKeys spare;
    FakeKeyboardState keyboard;
    FakeWindowControl windows;
    std::vector<std::chrono::milliseconds> sleeps;
    KeyboardMouseCommands commands{*store, messages,
                                   InputServices{keymap, injector, spare, keyboard, windows},
                                   [this](std::chrono::milliseconds ms) { sleeps.push_back(ms); }};
};

// A stored line break types one Enter; REPLACE WORD OR PHRASE first erases
// the macro's phrase, which is not expanded, one Backspace per character.
TEST_F(KeyboardMouseCommandsTest, TextIsExpandedAndTypedWithOneEnterPerStoredLineBreak) {
    expander.values["n"] = "a\r\nb";
    ASSERT_TRUE(store->WriteMacroString("{n}\xC3\xA9", "m", "WPhrase"));
    const std::tuple<CommandId, const char*, const char*, const char*> cases[] = {
        {kSendKeys, "Keys", "{n}", "65/30 13/28 66/48"},
        {kReplaceWordOrPhrase, "Text", "{n}", "8/14 8/14 8/14 8/14 65/30 13/28 66/48"},
    };
    for (const auto& [id, name, text, keys] : cases) EXPECT_EQ(injected(id, {{name, text}}), keys);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(injected(kSendKeys, {}, {}, "m\\Commands\\7"), "");
    EXPECT_EQ(messages.shown.size(), 1u);  // the store's own read error
    EXPECT_EQ(joinLineBreaks("a\r\nb\rc\nd\r\n\r\n\n\r"), "a\nb\rc\nd\n\n\n\r");
}

TEST_F(KeyboardMouseCommandsTest, KeystrokesCombinationsAndButtonsOfTheFamily) {
    EXPECT_EQ(injected(65), "");  // no flags stored yet
    EXPECT_EQ(messages.shown.size(), 1u);
    writeNumber("KeyPressed", 2);
    // A few rows of the constant tables: the order is what could break.
    const std::pair<std::uint32_t, std::string> cases[] = {
        {65, "65/30^"},
        {4366, "17/29 67/46 17/29^"},  // CTRL+C, the first combination
        {4371, "18/56 9/15 18/56^"},   // ALT+TAB
        {4113, "mouse " + std::to_string(kMouseRightUp) + " 0,0"},
    };
    for (const auto& [id, events] : cases) EXPECT_EQ(injected(id), events) << id;
    // Identifiers of no keystroke and of other families.
    for (std::uint32_t id : {0, 256, 4096, 4107, 4115, 4117, 4124, 4365, 4384})
        EXPECT_EQ(injected(id), "") << id;
}

TEST_F(KeyboardMouseCommandsTest, AbsoluteMoveChecksEachExpandedCoordinate) {
    // A missing IsAB means absolute; the store reports it missing.
    EXPECT_EQ(injected(kMoveMousePointer, {{"XABCoord", "5"}, {"YABCoord", "6"}}), moveTo(5, 6));
    EXPECT_EQ(messages.shown.size(), 1u);
    // x, y, and the move or the message shown instead
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"65535", "+65535", moveTo(65535, 65535)},
        {"{W}", "7", moveTo(512, 7)},
        {"1", "x", kInvalidY},
        {"-5", "x", kInvalidX},
        {"65536", "1", kRange},
        {"1", "65536", kRange},
        {"99999999999999999999", "1", kRange},
        {"65536", "y", kInvalidY},
    };
    expander.values["W"] = "512";
    for (const auto& [x, y, result] : cases) {
        messages.clear();
        writePosition(1, x, y);
        std::string seen = injected(kMoveMousePointer);
        for (const std::string& shown : messages.texts()) seen += shown;
        EXPECT_EQ(seen, result) << x << "," << y;
        EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));
    }
}

TEST_F(KeyboardMouseCommandsTest, RelativeMoveAddsTheForegroundWindowsCornerOrSaysWhyNot) {
    windows.foregroundWindow = 77;
    writePosition(0, "100", "200");
    const std::pair<ScreenRect, std::string> cases[] = {
        {{512, 384, 800, 600}, moveTo(32767 + 100, 32767 + 200)},  // on a 1024 x 768 screen
        {{-10, 0, 300, 300}, moveTo(-639 + 100, 200)},
    };
    for (const auto& [rect, moved] : cases) {
        windows.calls.clear();
        windows.windowRect = rect;
        EXPECT_EQ(injected(kMoveMousePointer), moved);
        EXPECT_EQ(windows.calls, (Texts{"attach 77", "rect 77", "detach 77"}));
    }
    EXPECT_TRUE(messages.shown.empty());
    // What keeps it from moving: our own window, no window, no rectangle.
    windows.calls.clear();
    windows.windowRect.reset();
    windows.own.insert(5);
    for (const std::optional<WindowId> foreground :
         {std::optional<WindowId>(5), std::optional<WindowId>(), std::optional<WindowId>(6)}) {
        windows.foregroundWindow = foreground;
        EXPECT_EQ(injected(kMoveMousePointer), "");
    }
    EXPECT_EQ(messages.texts(),
              (Texts{kAttachForeground, kAttachForeground,
                     "Unable to get window coordinates for window that is in the foreground!"}));
    EXPECT_EQ(windows.calls, (Texts{"attach 5", "attach 6", "detach 6"}));
}

// With no window to attach to.
TEST_F(KeyboardMouseCommandsTest, LockCommandsToggleOnlyWhenTheStateDiffers) {
    // The command, its lock, whether the lock was on, and the keys pressed
    const std::tuple<std::uint32_t, LockKey, bool, const char*> cases[] = {
        {4119, LockKey::CapsLock, false, "20/58!1 20/58!3"},
        {4121, LockKey::ScrollLock, false, "145/70!1 145/70!3"},
        {4120, LockKey::ScrollLock, false, ""},
        {4122, LockKey::NumLock, true, "144/69!1 144/69!3"},
    };
    windows.foregroundWindow = 9;
    windows.refuseAttach = true;
    for (const auto& [id, key, initiallyOn, keys] : cases) {
        keyboard.on.clear();
        if (initiallyOn) keyboard.on.insert(key);
        EXPECT_EQ(injected(id), keys) << id;
        EXPECT_EQ(keyboard.isOn(key), id % 2 == 1) << id;
    }
    EXPECT_EQ(sleeps, std::vector<std::chrono::milliseconds>(std::size(cases), 30ms));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(windows.calls.empty());
}

TEST(WindowActivationTest, BringsAWindowForwardAndShowsItOrSaysWhatFailed) {
    constexpr const char* kAttach = "Unable to attach to window you selected to start in!";
    constexpr const char* kForeground = "Unable to bring the selected window to the foreground!";
    constexpr const char* kShow = "Unable to show the selected window!";
    // The window, the one in front, what the desktop refuses, its calls and the message
    const std::tuple<WindowId, WindowId, std::string, Texts, const char*> cases[] = {
        {40, 3, "", {"attach 40", "foreground 40", "show 40 3", "detach 40"}, nullptr},
        {40, 40, "", {"attach 40", "show 40 3", "detach 40"}, nullptr},  // already in front
        {40, 3, "foreground", {"attach 40", "foreground 40", "detach 40"}, kForeground},
        {40, 3, "show", {"attach 40", "foreground 40", "show 40 3", "detach 40"}, kShow},
        {40, 3, "attach", {"attach 40"}, kAttach},
        {1, 3, "", {"attach 1"}, kAttach},  // the desktop is left alone
        {7, 3, "", {}, nullptr},            // so is the program's own window, silently
    };
    for (const auto& [window, foreground, refused, calls, message] : cases) {
        FakeWindowControl windows;
        RecordingMessages messages;
        windows.own = {7};
        windows.foregroundWindow = foreground;
        std::tie(windows.refuseAttach, windows.refuseForeground, windows.refuseShow) =
            std::tuple(refused == "attach", refused == "foreground", refused == "show");
        activateWindow(windows, messages, window, ShowCommand::ShowMaximized);
        EXPECT_EQ(windows.calls, calls) << window << " " << refused;
        EXPECT_EQ(messages.texts(), message ? Texts{message} : Texts{});
        EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    }
}

}  // namespace
}  // namespace ks::test
