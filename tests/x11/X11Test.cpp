// The X11 services: input commands with openbox; capture and hot keys on bare servers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "CommandFixture.h"
#include "QtTestLoop.h"
#include "RecordObserver.h"
#include "TypingWindow.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "core/Utf8.h"
#include "keys/KeyboardMouseCommands.h"
#include "keys/WindowActivation.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11InputCapture.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/XkbLayoutBuilder.h"

namespace ks::test {
namespace {

using Event = std::tuple<int, unsigned, int, int>;  // type, detail, root x and y
constexpr int kWaitMs = 3000;

// One shared server with openbox, the program's X11 services on it, and a RECORD observer.
class InputTest : public CommandFixture {
protected:
    InputTest()
        : platform(openPlatform()),
          commands(*store, messages,
                   InputServices{platform->keymap(), platform->injector(), platform->spareKeys(),
                                 platform->keyboard(), platform->windows()},
                   [](std::chrono::milliseconds wait) {  // as a run waits: events go on
                       runEventsUntil([] { return false; }, static_cast<int>(wait.count()));
                   }) {}

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

    // Switches the server's layout, with one XKB option or none; each test ends on plain US.
    void useLayout(const std::string& layout, const std::string& option = {}) {
        EXPECT_TRUE(session().run({"setxkbmap", "-option", "", "-option", option, layout}));
    }
    void TearDown() override { useLayout("us"); }

    std::unique_ptr<x11::X11Platform> platform;
    KeyboardMouseCommands commands;
    RecordObserver observer{session().display()};

private:
    static std::unique_ptr<x11::X11Platform> openPlatform() {
        testApplication();
        auto opened = x11::X11Platform::open(session().display());
        if (!opened) throw std::runtime_error(opened.error());
        return std::move(*opened);
    }
};

std::size_t emptyKeys(x11::XConnection& connection) {
    const auto keys = x11::describeKeys(connection.display());
    return static_cast<std::size_t>(std::count_if(
        keys.begin(), keys.end(), [](const KeyDescription& key) { return key.levels.empty(); }));
}

// Two texts per layout, Caps Lock on for de: swapped Z/Y, dead keys, AltGr, off-layout characters.
TEST_F(InputTest, UsAndGermanLayoutsTypeEveryCharacterExactlyAndInOrder) {
    const std::string pieces[] = {
        "Hello, World! zY 0123456789\n~!@#$%^&*()_+{}|:\"<>?\n`-=[]\\;',./\tTabbed\n",
        "\u00e9\u20ac\u00df\u00fc\u00c4\u00b0 \u65e5\u672c\U0001F600 end"};
    const std::string expected = pieces[0] + pieces[1];
    for (const char* layout : {"us", "de"}) {
        useLayout(layout);
        platform->keyboard().setCapsLock(layout[0] == 'd');
        const std::size_t spareBefore = emptyKeys(platform->connection());
        TypingWindow window(session());
        for (const std::string& piece : pieces) runCommand(commands, kSendKeys, {{"Keys", piece}});
        EXPECT_EQ(window.text(expected.size()), expected) << layout;
        EXPECT_EQ(emptyKeys(platform->connection()), spareBefore) << "a spare key stayed bound";
        EXPECT_EQ(platform->keyboard().isOn(LockKey::CapsLock), layout[0] == 'd');
    }
    platform->keyboard().setCapsLock(false);
}

// A target slower than the typing (0.1 ms a key) falls behind while spare keys are rebound.
TEST_F(InputTest, ASlowTargetGetsEveryCharacterOfAManyStretchText) {
    TypingWindow window(session(), "slow", 100, 100, std::chrono::microseconds(100));
    std::string text;
    const std::size_t distinct = 3 * platform->spareKeys().capacity();
    for (std::size_t i = 0; i < 4000; ++i) {
        if (i % 40 != 0) text += static_cast<char>('a' + i % 26);
        if (i % 40 == 0) utf8::append(text, static_cast<char32_t>(0x4E00 + i / 40 % distinct));
    }
    runCommand(commands, kSendKeys, {{"Keys", text}});
    EXPECT_EQ(window.text(text.size(), std::chrono::seconds(3)), text);
}

TEST_F(InputTest, LockCommandsPressTheLayoutsLockKeysAndSetTheIndicators) {
    const struct {
        LockKey key;
        std::uint32_t on;  // the command before turns it off
        unsigned keycode;  // 0: none, and no other key (Num Lock) is pressed
        const char* option;
    } locks[] = {{LockKey::CapsLock, 4119, 66, ""},
                 {LockKey::NumLock, 4123, 77, ""},
                 {LockKey::ScrollLock, 4121, 78, ""},
                 {LockKey::CapsLock, 4119, 0, "ctrl:nocaps"}};
    for (const auto& lock : locks) {
        useLayout("us", lock.option);
        std::vector<Event> pressed;
        if (lock.keycode)
            pressed = {{kKeyPress, lock.keycode, 0, 0}, {kKeyRelease, lock.keycode, 0, 0}};
        ASSERT_FALSE(platform->keyboard().isOn(lock.key));
        observer.clear();
        runCommand(commands, lock.on);
        EXPECT_TRUE(platform->keyboard().isOn(lock.key));
        EXPECT_EQ(platform->keyboard().isOn(LockKey::NumLock), lock.key == LockKey::NumLock);
        EXPECT_EQ(seen(2, lock.keycode ? 3000 : 300), pressed);
        runCommand(commands, lock.on - 1);
        EXPECT_FALSE(platform->keyboard().isOn(lock.key));
    }
    EXPECT_TRUE(messages.shown.empty());
}

// Two windows listed topmost first; moves and clicks on the upper one; the lower one activated.
TEST_F(InputTest, PointerAndWindowCommandsOnWindowsOfTheServer) {
    TypingWindow lower(session(), "lower window", 50, 50);
    TypingWindow upper(session(), "upper w\u00e4ndow", 300, 300);
    // The window manager names the active window a moment after it changed.
    ASSERT_TRUE(runEventsUntil([&] { return platform->windows().foreground() == upper.window(); },
                               kWaitMs));
    std::vector<std::pair<WindowId, std::string>> listed;
    for (const TopLevelWindow& window : platform->windows().topLevelWindows())
        listed.emplace_back(window.id, window.title);
    EXPECT_EQ(listed, (decltype(listed){{upper.window(), "upper w\u00e4ndow"},
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
                 {0, "0", "0", frame->left, frame->top},
                 {0, "6400", "+6400", frame->left + 100, frame->top + 75}};
    std::vector<Event> expected;
    for (const auto& move : moves) {
        writePosition(move.isAbsolute, move.x, move.y);
        runCommand(commands, kMoveMousePointer);
        expected.emplace_back(kMotionNotify, 0, move.px, move.py);
    }
    // Then over the window, so no desktop menu opens.
    for (std::uint32_t id = 4108; id <= 4113; ++id) runCommand(commands, id);
    for (unsigned button : {1u, 2u, 3u}) {
        expected.emplace_back(kButtonPress, button, moves[3].px, moves[3].py);
        expected.emplace_back(kButtonRelease, button, moves[3].px, moves[3].py);
    }
    EXPECT_EQ(seen(expected.size()), expected);

    activateWindow(platform->windows(), messages, lower.window(), ShowCommand::ShowNormal);
    EXPECT_EQ(platform->windows().foreground(), lower.window());
    runCommand(commands, kSendKeys, {{"Keys", "to lower"}});
    EXPECT_EQ(lower.text(8), "to lower");
    activateWindow(platform->windows(), messages, platform->connection().root(), ShowCommand::Show);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Unable to attach to window you selected to start in!"}));
    // In a Wayland session the X11 backend says it reaches X programs' windows only.
    setenv("WAYLAND_DISPLAY", "wayland-9", 1);
    EXPECT_NE(platform->startupNotice().find("windows of X programs only"), std::string::npos);
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(platform->startupNotice(), "");
}

using Kind = CapturedInput::Kind;
using Clock = std::chrono::steady_clock;
using Ids = std::vector<std::int32_t>;

void settle(int ms) {
    runEventsUntil([] { return false; }, ms);
}

// What a capture handed over.
struct Captured {
    std::vector<CapturedInput> events;
    int losses = 0;

    bool start(InputCapture& capture) {
        return capture.start(
            [this](const CapturedInput* block, std::size_t count) {
                events.insert(events.end(), block, block + count);
            },
            [this] { ++losses; });
    }
    bool waitFor(std::size_t count) {
        return runEventsUntil([&] { return events.size() >= count; }, kWaitMs);
    }
};

class BareServerTest : public ::testing::Test {
protected:
    BareServerTest() { testApplication(); }

    XvfbSession session{false};  // no manager: a window stays where it was put, with the focus
    XTestDriver driver{session.display()};
    x11::X11InputCapture capture{session.display()};
    Captured captured;
};

constexpr std::uint32_t kCtrl = CapturedInput::kControl, kAlt = CapturedInput::kAlt,
                        kShift = CapturedInput::kShift, kAll = kCtrl | kAlt | kShift;

struct Step {
    Kind kind;
    const char* key;  // keysym name, for key steps
    unsigned button;
    std::uint32_t modifiers;
};

// Over the typing window (under the pointer, with the focus), the last three over the desktop.
const Step kSteps[] = {
    {Kind::Motion, nullptr, 0, 0},
    {Kind::KeyPress, "Shift_L", 0, 0},
    {Kind::KeyPress, "Control_L", 0, kShift},
    {Kind::KeyPress, "Alt_L", 0, kShift | kCtrl},
    {Kind::KeyPress, "a", 0, kAll},
    {Kind::KeyRelease, "a", 0, kAll},
    {Kind::KeyRelease, "Alt_L", 0, kAll},
    {Kind::KeyRelease, "Control_L", 0, kShift | kCtrl},
    {Kind::KeyRelease, "Shift_L", 0, kShift},
    {Kind::ButtonPress, nullptr, 1, 0},
    {Kind::ButtonRelease, nullptr, 1, 0},
    {Kind::Motion, nullptr, 0, 0},
    {Kind::ButtonPress, nullptr, 4, 0},
    {Kind::ButtonRelease, nullptr, 4, 0},
};
constexpr std::size_t kOverWindow = std::size(kSteps) - 3;
constexpr int kX = 300, kY = 250, kDesktopX = 900, kDesktopY = 650;  // the window's centre

TEST_F(BareServerTest, CaptureGivesEveryFieldOfEveryEventInOrder) {
    TypingWindow window(session, "capture target", 100, 100);
    const unsigned long focus = window.window();
    driver.chord({"x"});  // before start(): not captured
    ASSERT_TRUE(captured.start(capture));
    // Step i went out after sent[i] and was handled by handled[i].
    std::vector<Clock::time_point> sent, handled;
    const auto play = [&](std::size_t from, std::size_t to, int x, int y) {
        for (std::size_t i = from; i < to; ++i) {
            const Step& step = kSteps[i];
            const bool press = step.kind == Kind::KeyPress || step.kind == Kind::ButtonPress;
            std::this_thread::sleep_for(std::chrono::milliseconds(12));
            sent.push_back(Clock::now());
            if (step.kind == Kind::Motion) {
                driver.moveTo(x, y);
            } else if (step.key) {
                driver.key(driver.keycode(step.key), press);
            } else {
                driver.button(step.button, press);
            }
            driver.sync();
            handled.push_back(Clock::now());
        }
    };
    const auto ms = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
    };
    play(0, kOverWindow, kX, kY);
    // The window is looked up per delivered block: the pointer leaves once they were delivered.
    ASSERT_TRUE(captured.waitFor(kOverWindow));
    play(kOverWindow, std::size(kSteps), kDesktopX, kDesktopY);
    ASSERT_TRUE(captured.waitFor(std::size(kSteps)));
    settle(100);
    ASSERT_EQ(captured.events.size(), std::size(kSteps));
    EXPECT_EQ(captured.losses, 0);
    for (std::size_t i = 0; i < std::size(kSteps); ++i) {
        SCOPED_TRACE(testing::Message() << "step " << i);
        const CapturedInput& e = captured.events[i];
        const Step& step = kSteps[i];
        const bool over = i < kOverWindow;
        EXPECT_EQ(std::tuple(e.kind, e.detail, e.modifiers, e.rootX, e.rootY, e.window),
                  std::tuple(step.kind, step.key ? driver.keycode(step.key) : step.button,
                             step.modifiers, over ? kX : kDesktopX, over ? kY : kDesktopY,
                             step.key || over ? focus : driver.root()));
        if (i == 0) continue;
        // The server's stamps (in whole ms) part as far as the client saw the steps part.
        const auto gap = static_cast<std::int64_t>(e.time - captured.events[i - 1].time);
        EXPECT_GE(gap, ms(handled[i - 1], sent[i]) - 1);
        EXPECT_LE(gap, ms(sent[i - 1], handled[i]) + 1);
    }
}

TEST_F(BareServerTest, CaptureStopEndsDeliveryAtOnceEvenInsideTheHandlerAndStartAgainWorks) {
    x11::X11InputCapture nowhere(":65000");
    EXPECT_FALSE(captured.start(nowhere));
    capture.stop();  // harmless when not capturing
    ASSERT_TRUE(captured.start(capture));
    driver.chord({"f"});
    capture.stop();  // before the event loop could deliver the key
    settle(200);
    EXPECT_TRUE(captured.events.empty());

    int calls = 0;
    ASSERT_TRUE(capture.start(
        [&](const CapturedInput* block, std::size_t count) {
            ++calls;
            for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(block[i].detail, driver.keycode("c"));
            capture.stop();
        },
        [&] { ++captured.losses; }));
    driver.chord({"c"});
    ASSERT_TRUE(runEventsUntil([&] { return calls > 0; }, kWaitMs));
    driver.chord({"d"});
    settle(200);
    EXPECT_EQ(calls, 1);

    // With no window the key goes to nobody: the capture must make the server hand it over.
    ASSERT_TRUE(captured.start(capture));
    const auto pressed = Clock::now();
    driver.key(driver.keycode("e"), true);
    driver.key(driver.keycode("e"), false);
    driver.flush();
    ASSERT_TRUE(captured.waitFor(2));
    EXPECT_LT(Clock::now() - pressed, std::chrono::milliseconds(300));
    settle(100);
    EXPECT_EQ(captured.events.size(), 2u);
}

// Reported once whether the server dies or a connection is killed as xkill would.
TEST(CaptureLossTest, ALostConnectionIsReportedOnceAndStartOpensAfresh) {
    testApplication();
    // The capture's control and data are the clients after the driver's; 0 ends the server.
    for (const unsigned long connection : {1ul, 2ul, 0ul}) {
        SCOPED_TRACE(connection);
        auto server = std::make_unique<XvfbSession>(false);
        auto driver = std::make_unique<XTestDriver>(server->display());
        Captured captured;
        auto capture = std::make_unique<x11::X11InputCapture>(server->display());
        ASSERT_TRUE(captured.start(*capture));
        if (connection) {
            driver->killClient(driver->clientBase() + connection * XTestDriver::kClientRange);
        } else {
            driver.reset();
            server.reset();
        }
        ASSERT_TRUE(runEventsUntil([&] { return captured.losses > 0; }, kWaitMs));
        settle(200);
        EXPECT_EQ(captured.losses, 1);
        if (connection) {
            ASSERT_TRUE(captured.start(*capture));
            driver->chord({"h"});
            EXPECT_TRUE(captured.waitFor(2));
        } else if (captured.start(*capture)) {
            capture->stop();  // another test's Xvfb may hold the freed display number by now
        }
        capture.reset();
        settle(100);
        EXPECT_EQ(captured.losses, 1);
    }
}

// Core modifier masks, as the server reports and grabs them.
constexpr unsigned kLock = 1u << 1, kControl = 1u << 2, kMod1 = 1u << 3, kMod2 = 1u << 4;

// Every lock state, then a batch (registerHotKey() is a batch of one), then on de, where Z moves
// to Y's key and code 186 is the key shown as "\u00d6", not the one typing ";".
TEST_F(BareServerTest, HotKeyGrabsFireUnderEveryLockAreEachAnsweredInABatchAndFollowTheLayout) {
    auto opened = x11::X11HotKeys::open(session.display());
    ASSERT_TRUE(opened) << opened.error();
    x11::X11HotKeys* hotKeys = opened->get();
    Ids fired;
    hotKeys->setPressedHandler([&](std::int32_t id) { fired.push_back(id); });
    // Presses the keys and expects `ids` to fire (none within 300 ms).
    const auto press = [&](const std::vector<const char*>& keys, const Ids& ids) {
        fired.clear();
        driver.chord(keys);
        runEventsUntil([&] { return !fired.empty(); }, ids.empty() ? 300 : 2000);
        EXPECT_EQ(fired, ids) << keys.back();
    };
    ASSERT_TRUE(hotKeys->registerHotKey(1, 0, 116));                      // F5
    ASSERT_TRUE(hotKeys->registerHotKey(2, kModShift | kModWin, '1'));    // Shift+Win+1
    ASSERT_TRUE(hotKeys->registerHotKey(3, kModControl | kModAlt, 'K'));  // Ctrl+Alt+K
    ASSERT_TRUE(hotKeys->registerHotKey(5, kModControl, 'K'));            // Ctrl+K
    const std::pair<std::vector<const char*>, Ids> presses[] = {{{"F5"}, {1}},
                                                                {{"Shift_L", "Super_L", "1"}, {2}},
                                                                {{"Control_L", "Alt_L", "k"}, {3}},
                                                                {{"Control_L", "k"}, {5}},
                                                                {{"Alt_L", "k"}, {}}};
    const std::pair<std::vector<const char*>, unsigned> locks[] = {
        {{}, 0},
        {{"Caps_Lock"}, kLock},
        {{"Num_Lock"}, kMod2},
        {{"Caps_Lock", "Num_Lock"}, kLock | kMod2}};
    for (const auto& [lockKeys, stateBits] : locks) {
        SCOPED_TRACE(stateBits);
        for (const char* lock : lockKeys) driver.chord({lock});
        EXPECT_EQ(driver.state() & (kLock | kMod2), stateBits);
        for (const auto& [keys, ids] : presses) press(keys, ids);
        for (const char* lock : lockKeys) driver.chord({lock});
    }
    // Suspended, the keys reach other clients; resumed, each key is taken again.
    const unsigned k = driver.keycode("k");
    hotKeys->setSuspended(true);
    ASSERT_TRUE(driver.grab(k, kControl | kMod1));
    driver.ungrab(k, kControl | kMod1);
    hotKeys->setSuspended(false);
    press({"Control_L", "Alt_L", "k"}, {3});

    const unsigned j = driver.keycode("j"), q = driver.keycode("q");
    // Only the Num Lock variant is held: the plain grab succeeds first and must be released.
    ASSERT_TRUE(driver.grab(j, kControl | kMod2));
    const std::vector<ks::Result> results = hotKeys->registerHotKeys({
        {11, kModAlt, 'Q'},      // granted
        {12, kModControl, 'J'},  // held by the other client
        {13, kModAlt, 'Q'},      // granted to 11 in this very batch
        {14, kModAlt, 7},        // no such key
        {15, kModShift, 'Z'},    // granted after the failures
    });
    ASSERT_EQ(results.size(), 5u);
    const bool granted[] = {true, false, false, false, true};
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i].ok(), granted[i]) << i;
    EXPECT_NE(results[1].error().find("BadAccess"), std::string::npos) << results[1].error();
    EXPECT_NE(results[2].error().find("BadAccess"), std::string::npos);
    press({"Alt_L", "q"}, {11});
    EXPECT_TRUE(driver.grab(j, kControl));
    driver.ungrab(j, 1u << 15);                                  // AnyModifier
    EXPECT_TRUE(hotKeys->registerHotKey(12, kModControl, 'J'));  // the identifier is free again
    ASSERT_FALSE(driver.grab(q, kMod1));
    ASSERT_TRUE(hotKeys->unregisterHotKey(11));
    EXPECT_FALSE(hotKeys->unregisterHotKey(11));
    EXPECT_TRUE(driver.grab(q, kMod1));

    constexpr unsigned kUsZ = 52;
    ASSERT_TRUE(hotKeys->registerHotKey(8, kModControl, 186));
    ASSERT_TRUE(hotKeys->registerHotKey(9, kModControl, 'Z'));
    ASSERT_TRUE(session.run({"setxkbmap", "de"}));
    EXPECT_TRUE(runEventsUntil([&] { return driver.grab(kUsZ, kControl); },
                               x11::X11HotKeys::kRegrabDelayMs * 10));
    driver = XTestDriver(session.display());  // one that reads the new layout
    press({"Control_L", "comma"}, {});
    press({"Control_L", "odiaeresis"}, {8});
    press({"Control_L", "z"}, {9});
}

}  // namespace
}  // namespace ks::test
