// The input commands through the program's X11 services on a private X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <tuple>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "RecordObserver.h"
#include "TypingWindow.h"
#include "XvfbSession.h"
#include "core/Utf8.h"
#include "keys/KeyboardMouseCommands.h"
#include "keys/WindowActivation.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/XkbLayoutBuilder.h"

namespace ks::test {
namespace {

using Event = std::tuple<int, unsigned, int, int>;  // type, detail, root x and y

// One private X server for every test, the program's X11 services on it, the
// input commands over a store in a fresh folder, and a RECORD observer.
class InputTest : public CommandFixture {
protected:
    InputTest()
        : platform(openPlatform()),
          commands(*store, messages, expander,
                   InputServices{platform->keymap(), platform->injector(), platform->spareKeys(),
                                 platform->keyboard(), platform->windows()}) {}

    static XvfbSession& session() {
        static XvfbSession shared;
        return shared;
    }

    // The events seen once `count` arrived or `ms` passed; keys without the pointer's place.
    std::vector<Event> seen(std::size_t count, int ms = 3000) {
        std::vector<Event> events;
        for (const ObservedEvent& e : observer.waitFor(count, ms)) {
            const bool key = e.type == kKeyPress || e.type == kKeyRelease;
            events.emplace_back(e.type, e.detail, key ? 0 : e.x, key ? 0 : e.y);
        }
        return events;
    }

    // The window manager names the active window a moment after it changed.
    bool becomesForeground(unsigned long window) {
        for (int tick = 0; platform->windows().foreground() != window; ++tick) {
            if (tick == 300) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // Switches the server's layout, with one XKB option or none; each test ends on plain US.
    void useLayout(const std::string& layout, const std::string& option = {}) {
        EXPECT_TRUE(session().run({"setxkbmap", "-option", "", "-option", option, layout}));
    }
    void TearDown() override { useLayout("us"); }

    FakeExpander expander;
    std::unique_ptr<x11::X11Platform> platform;
    KeyboardMouseCommands commands;
    RecordObserver observer{session().display()};

private:
    static std::unique_ptr<x11::X11Platform> openPlatform() {
        auto opened = x11::X11Platform::open(session().display());
        if (!opened) throw std::runtime_error(opened.error());
        return std::move(*opened);
    }
};

std::size_t emptyKeys(x11::XConnection& connection) {
    const auto keys = x11::describeKeys(connection.display());
    return static_cast<std::size_t>(
        std::count_if(keys.begin(), keys.end(),
                      [](const x11::KeyDescription& key) { return key.levels.empty(); }));
}

// Texts in two pieces, Caps Lock on for the second layout: letters (Z and Y
// swap on de), digits, symbols (dead keys on de), blanks, tabs, line feeds, a
// CR LF pair, characters of AltGr and Shift levels, and characters no key types.
TEST_F(InputTest, UsAndGermanLayoutsTypeEveryCharacterExactlyAndInOrder) {
    const std::string pieces[] = {
        "Hello, World! zY 0123456789\n~!@#$%^&*()_+{}|:\"<>?\n`-=[]\\;',./\tTabbed\r\nCRLF\n",
        "\u00e9\u20ac\u00df\u00fc\u00c4\u00b0 \u65e5\u672c\U0001F600 end"};
    const std::string expected =
        "Hello, World! zY 0123456789\n~!@#$%^&*()_+{}|:\"<>?\n"
        "`-=[]\\;',./\tTabbed\nCRLF\n" +
        pieces[1];
    for (const char* layout : {"us", "de"}) {
        useLayout(layout);
        platform->keyboard().setCapsLock(layout[0] == 'd');
        const std::size_t spareBefore = emptyKeys(platform->connection());
        TypingWindow window(session());
        for (const std::string& piece : pieces) {
            writeText("Keys", piece);
            commands.sendKeys(kCommand);
        }
        EXPECT_EQ(window.text(expected.size()), expected) << layout;
        EXPECT_EQ(emptyKeys(platform->connection()), spareBefore) << "a spare key stayed bound";
        EXPECT_EQ(platform->keyboard().isOn(LockKey::CapsLock), layout[0] == 'd');
    }
    platform->keyboard().setCapsLock(false);
}

// A target slower than the typing (0.1 ms a key press) falls behind while
// spare keys are bound again and again.
TEST_F(InputTest, ASlowTargetGetsEveryCharacterOfAManyStretchText) {
    TypingWindow window(session(), "slow", 100, 100, std::chrono::microseconds(100));
    std::string text;
    for (std::size_t i = 0; i < 4000; ++i) {
        if (i % 40 == 0) {
            utf8::append(text, static_cast<char32_t>(
                                   0x4E00 + (i / 40) % (3 * platform->spareKeys().capacity())));
        } else {
            text += static_cast<char>('a' + i % 26);
        }
    }
    writeText("Keys", text);
    commands.sendKeys(kCommand);
    EXPECT_EQ(window.text(text.size(), std::chrono::seconds(3)), text);
}

TEST_F(InputTest, LockCommandsPressTheLayoutsLockKeysAndSetTheIndicators) {
    const struct {
        LockKey key;
        std::uint32_t off, on;
        unsigned keycode;  // 0: none, and no other key (Num Lock) is pressed
        const char* option;
    } locks[] = {{LockKey::CapsLock, 4118, 4119, 66, ""},
                 {LockKey::NumLock, 4122, 4123, 77, ""},
                 {LockKey::ScrollLock, 4120, 4121, 78, ""},
                 {LockKey::CapsLock, 4118, 4119, 0, "ctrl:nocaps"}};
    KeyboardState& keyboard = platform->keyboard();
    for (const auto& lock : locks) {
        useLayout("us", lock.option);
        std::vector<Event> pressed;
        if (lock.keycode)
            pressed = {{kKeyPress, lock.keycode, 0, 0}, {kKeyRelease, lock.keycode, 0, 0}};
        ASSERT_FALSE(keyboard.isOn(lock.key));
        observer.clear();
        commands.run(lock.on, kCommand);
        EXPECT_TRUE(keyboard.isOn(lock.key));
        EXPECT_EQ(keyboard.isOn(LockKey::NumLock), lock.key == LockKey::NumLock);
        EXPECT_EQ(seen(2, lock.keycode ? 3000 : 300), pressed);
        commands.run(lock.off, kCommand);
        EXPECT_FALSE(keyboard.isOn(lock.key));
    }
    EXPECT_TRUE(messages.shown.empty());
}

// Two windows listed topmost first; the pointer moved relative to the upper
// one and clicked on it; then the lower one activated and typed into.
TEST_F(InputTest, PointerAndWindowCommandsOnWindowsOfTheServer) {
    TypingWindow lower(session(), "lower window", 50, 50);
    TypingWindow upper(session(), "upper w\u00e4ndow", 300, 300);
    ASSERT_TRUE(becomesForeground(upper.window()));
    std::vector<std::pair<WindowId, std::string>> listed;
    for (const TopLevelWindow& window : platform->windows().topLevelWindows()) {
        EXPECT_FALSE(window.taskBar) << window.title;
        listed.emplace_back(window.id, window.title);
    }
    EXPECT_EQ(listed,
              (std::vector<std::pair<WindowId, std::string>>{{upper.window(), "upper w\u00e4ndow"},
                                                             {lower.window(), "lower window"}}));
    const auto frame = platform->windows().rect(upper.window());
    ASSERT_TRUE(frame.has_value());
    // Absolute moves scale 0..65535 to 1024x768; relative ones start at the frame's corner.
    const struct {
        std::uint32_t isAbsolute;
        const char *x, *y;
        int px, py;
    } moves[] = {{1, "32767", "32767", 512, 384},
                 {1, "65535", "+65535", 1023, 767},
                 {1, "+100", "6400", 2, 75},
                 {0, "0", "0", frame->left, frame->top},
                 {0, "6400", "+6400", frame->left + 100, frame->top + 75}};
    std::vector<Event> expected;
    for (const auto& move : moves) {
        writePosition(move.isAbsolute, move.x, move.y);
        commands.movePointer(kCommand);
        expected.emplace_back(kMotionNotify, 0, move.px, move.py);
    }
    // Then over the window, so no desktop menu opens.
    for (std::uint32_t id = 4108; id <= 4113; ++id) commands.run(id, kCommand);
    for (unsigned button : {1u, 2u, 3u}) {
        expected.emplace_back(kButtonPress, button, moves[4].px, moves[4].py);
        expected.emplace_back(kButtonRelease, button, moves[4].px, moves[4].py);
    }
    EXPECT_EQ(seen(expected.size()), expected);
    EXPECT_TRUE(messages.shown.empty());

    ActivateWindow(platform->windows(), messages, lower.window(), ShowCommand::ShowNormal);
    EXPECT_EQ(platform->windows().foreground(), lower.window());
    writeText("Keys", "to lower");
    commands.sendKeys(kCommand);
    EXPECT_EQ(lower.text(8), "to lower");
    ActivateWindow(platform->windows(), messages, platform->connection().root(), ShowCommand::Show);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Unable to attach to window you selected to start in!"}));
}

}  // namespace
}  // namespace ks::test
