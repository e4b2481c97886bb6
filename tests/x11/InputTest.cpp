#include <thread>
#include <tuple>

#include "RecordObserver.h"
#include "TypingWindow.h"
#include "X11Fixture.h"
#include "keys/WindowActivation.h"

namespace ks::test {
namespace {

using Event = std::tuple<int, unsigned, int, int>;  // type, detail, root x and y

class InputTest : public X11Fixture {
protected:
    RecordObserver observer{session().display()};

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
};

TEST_F(InputTest, PointerCommandsMoveOnTheScreenAndClickWhereThePointerIs) {
    TypingWindow window(session(), "relative", 200, 150);
    ASSERT_TRUE(becomesForeground(window.window()));
    const auto frame = platform->windows().rect(window.window());
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
        LayoutGuard layout(session(), "us", lock.option);
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

TEST_F(InputTest, WindowsAreListedTopmostFirstAndActivatedForTyping) {
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
