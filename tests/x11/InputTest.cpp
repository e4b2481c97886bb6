#include <thread>

#include "RecordObserver.h"
#include "TypingWindow.h"
#include "X11Fixture.h"
#include "keys/WindowActivation.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>

namespace ks::test {
namespace {

// An observed event without its time, as these tests compare them.
struct RecordedEvent {
    int type;
    unsigned detail;
    int rootX;
    int rootY;
    bool operator==(const RecordedEvent&) const = default;
};

RecordedEvent key(int type, unsigned keycode) {
    return {type, keycode, 0, 0};
}

// Key and button events only: their root position is where the pointer was.
std::vector<RecordedEvent> withoutPositions(std::vector<RecordedEvent> events) {
    for (auto& event : events) {
        if (event.type != MotionNotify) event.rootX = event.rootY = 0;
    }
    return events;
}

class InputTest : public X11Fixture {
protected:
    RecordObserver observer{session().display()};

    // Waits until `count` events arrived (or the time is up) and gives all so far.
    std::vector<RecordedEvent> seen(std::size_t count,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        std::vector<RecordedEvent> events;
        for (const ObservedEvent& e : observer.waitFor(count, static_cast<int>(timeout.count()))) {
            events.push_back({e.type, e.detail, e.x, e.y});
        }
        return events;
    }

    std::pair<int, int> pointer() {
        Display* display = platform->connection().display();
        Window root = None, child = None;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
        return {x, y};
    }

    // The window manager names the active window a moment after it changed.
    bool becomesForeground(unsigned long window) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (platform->windows().foreground() != window) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    void movePointer(std::uint32_t isAbsolute, const std::string& x, const std::string& y) {
        writePosition(isAbsolute, x, y);
        commands.movePointer(kCommand);
    }
};

TEST_F(InputTest, ButtonCommandsClickWhereThePointerIs) {
    TypingWindow window(session());
    movePointer(1, "19000", "19000");  // over the window, so no desktop menu opens
    seen(1);
    const auto [x, y] = pointer();
    observer.clear();
    for (std::uint32_t id = 4108; id <= 4113; ++id) commands.run(id, kCommand);
    std::vector<RecordedEvent> expected;
    for (unsigned button : {1u, 2u, 3u}) {
        expected.push_back({ButtonPress, button, x, y});
        expected.push_back({ButtonRelease, button, x, y});
    }
    EXPECT_EQ(seen(expected.size()), expected);
}

TEST_F(InputTest, AbsoluteMovesScaleToTheScreen) {
    const struct {
        const char* x;
        const char* y;
        int px, py;
    } cases[] = {{"32767", "32767", 512, 384},
                 {"0", "0", 0, 0},
                 {"65535", "+65535", 1023, 767},
                 {"+100", "6400", 2, 75}};
    for (const auto& c : cases) {
        movePointer(1, c.x, c.y);
        EXPECT_EQ(pointer(), std::make_pair(c.px, c.py)) << c.x << "," << c.y;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(InputTest, RelativeMovesStartAtTheForegroundWindowsCorner) {
    TypingWindow window(session(), "relative", 200, 150);
    ASSERT_TRUE(becomesForeground(window.window()));
    const auto frame = platform->windows().rect(window.window());
    ASSERT_TRUE(frame.has_value());
    movePointer(0, "0", "0");
    EXPECT_EQ(pointer(), std::make_pair(frame->left, frame->top));
    movePointer(0, "6400", "+6400");  // 100 and 75 pixels on
    EXPECT_EQ(pointer(), std::make_pair(frame->left + 100, frame->top + 75));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(InputTest, LockCommandsSetTheIndicatorsAndLeaveThemWhenTheyMatch) {
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
        std::vector<RecordedEvent> pressed;
        if (lock.keycode) pressed = {key(KeyPress, lock.keycode), key(KeyRelease, lock.keycode)};
        ASSERT_FALSE(keyboard.isOn(lock.key));
        observer.clear();
        commands.run(lock.on, kCommand);
        EXPECT_TRUE(keyboard.isOn(lock.key));
        EXPECT_EQ(keyboard.isOn(LockKey::NumLock), lock.key == LockKey::NumLock);
        EXPECT_EQ(withoutPositions(seen(2, std::chrono::milliseconds(lock.keycode ? 3000 : 300))),
                  pressed);
        observer.clear();
        commands.run(lock.on, kCommand);
        EXPECT_TRUE(keyboard.isOn(lock.key));
        EXPECT_TRUE(seen(1, std::chrono::milliseconds(300)).empty());
        commands.run(lock.off, kCommand);
        EXPECT_FALSE(keyboard.isOn(lock.key));
        commands.run(lock.off, kCommand);
        EXPECT_FALSE(keyboard.isOn(lock.key));
        EXPECT_EQ(seen(3, std::chrono::milliseconds(300)).size(), pressed.size());
    }
    EXPECT_EQ(messages.texts(), std::vector<std::string>{});
}

TEST_F(InputTest, ActivationBringsAWindowToTheFront) {
    TypingWindow first(session(), "first", 50, 50);
    TypingWindow second(session(), "second", 300, 300);
    ASSERT_TRUE(becomesForeground(second.window()));
    ActivateWindow(platform->windows(), messages, first.window(), ShowCommand::ShowNormal);
    EXPECT_EQ(platform->windows().foreground(), first.window());
    EXPECT_TRUE(messages.shown.empty());
    writeText("Keys", "to first");
    commands.sendKeys(kCommand);
    EXPECT_EQ(first.text(8), "to first");

    ActivateWindow(platform->windows(), messages, platform->connection().root(), ShowCommand::Show);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Unable to attach to window you selected to start in!"}));
}

TEST_F(InputTest, WindowListNamesTheVisibleWindowsTopmostFirst) {
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
}

}  // namespace
}  // namespace ks::test
