#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "QtTestLoop.h"
#include "TypingWindow.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "platform/x11/X11InputCapture.h"

namespace ks::test {
namespace {

using Kind = CapturedInput::Kind;
using Clock = std::chrono::steady_clock;
constexpr auto kGap = std::chrono::milliseconds(12);
constexpr int kWaitMs = 3000;

// What a capture handed over, block by block.
struct Captured {
    std::vector<CapturedInput> events;
    int losses = 0;

    InputCapture::EventsHandler onEvents() {
        return [this](const CapturedInput* block, std::size_t count) {
            events.insert(events.end(), block, block + count);
        };
    }
    InputCapture::LostHandler onLost() {
        return [this] { ++losses; };
    }
    bool waitFor(std::size_t count) {
        return runEventsUntil([&] { return events.size() >= count; }, kWaitMs);
    }
};

void settle(int ms) {
    runEventsUntil([] { return false; }, ms);
}

class CaptureTest : public ::testing::Test {
protected:
    CaptureTest() { testApplication(); }

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

// The first steps over the typing window (under the pointer, with the focus),
// the last three over the bare desktop.
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

// Each step went to the server after `sent` and was handled before `handled`.
struct Played {
    std::vector<Clock::time_point> sent, handled;
};

void play(XTestDriver& driver, std::size_t from, std::size_t to, int x, int y, Played& played) {
    for (std::size_t i = from; i < to; ++i) {
        const Step& step = kSteps[i];
        const bool press = step.kind == Kind::KeyPress || step.kind == Kind::ButtonPress;
        std::this_thread::sleep_for(kGap);
        played.sent.push_back(Clock::now());
        if (step.kind == Kind::Motion) {
            driver.moveTo(x, y);
        } else if (step.key) {
            driver.key(driver.keycode(step.key), press);
        } else {
            driver.button(step.button, press);
        }
        driver.sync();
        played.handled.push_back(Clock::now());
    }
}

std::int64_t millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

TEST_F(CaptureTest, EveryFieldOfEveryEventInOrder) {
    TypingWindow window(session, "capture target", 100, 100);
    const unsigned long focus = window.window();
    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    Played played;
    play(driver, 0, kOverWindow, kX, kY, played);
    // The window lookup is made per delivered block: the pointer leaves only
    // once the events over the window were handed over.
    ASSERT_TRUE(captured.waitFor(kOverWindow));
    play(driver, kOverWindow, std::size(kSteps), kDesktopX, kDesktopY, played);
    ASSERT_TRUE(captured.waitFor(std::size(kSteps)));
    settle(100);
    ASSERT_EQ(captured.events.size(), std::size(kSteps));
    EXPECT_EQ(captured.losses, 0);
    for (std::size_t i = 0; i < std::size(kSteps); ++i) {
        SCOPED_TRACE(testing::Message() << "step " << i);
        const CapturedInput& event = captured.events[i];
        const Step& step = kSteps[i];
        const bool overWindow = i < kOverWindow;
        EXPECT_EQ(event.kind, step.kind);
        EXPECT_EQ(event.detail, step.key ? driver.keycode(step.key) : step.button);
        EXPECT_EQ(event.modifiers, step.modifiers);
        EXPECT_EQ(event.rootX, overWindow ? kX : kDesktopX);
        EXPECT_EQ(event.rootY, overWindow ? kY : kDesktopY);
        EXPECT_EQ(event.window, step.key || overWindow ? focus : driver.root());
        if (i == 0) continue;
        // The server stamps each event when it handles it: the gap between
        // two stamps lies within what the client saw of the two steps,
        // give or take the stamps' millisecond rounding.
        const auto serverGap = static_cast<std::int64_t>(event.time - captured.events[i - 1].time);
        EXPECT_GE(serverGap, millisecondsBetween(played.handled[i - 1], played.sent[i]) - 1);
        EXPECT_LE(serverGap, millisecondsBetween(played.sent[i - 1], played.handled[i]) + 1);
    }
}

TEST_F(CaptureTest, StopEndsDeliveryAtOnceEvenInsideTheHandlerAndStartCapturesAnew) {
    capture.stop();  // harmless when not capturing
    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
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
        captured.onLost()));
    driver.chord({"c"});
    ASSERT_TRUE(runEventsUntil([&] { return calls > 0; }, kWaitMs));
    driver.chord({"d"});
    settle(200);
    EXPECT_EQ(calls, 1);

    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    driver.chord({"e"});
    ASSERT_TRUE(captured.waitFor(2));
    settle(100);
    ASSERT_EQ(captured.events.size(), 2u);
    EXPECT_EQ(captured.events[0].detail, driver.keycode("e"));
    EXPECT_EQ(captured.events[1].kind, Kind::KeyRelease);
}

// With no window, a key goes to no client: the server writes to nobody, and
// the capture has to make it hand the key over.
TEST_F(CaptureTest, AKeyNoClientListensToArrivesPromptly) {
    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    const auto pressed = Clock::now();
    driver.key(driver.keycode("Pause"), true);
    driver.key(driver.keycode("Pause"), false);
    driver.flush();
    ASSERT_TRUE(captured.waitFor(2));
    EXPECT_LT(Clock::now() - pressed, std::chrono::milliseconds(300));
    x11::X11InputCapture nowhere(":65000");
    EXPECT_FALSE(nowhere.start(captured.onEvents(), captured.onLost()));
}

// The loss is reported once, whether the server dies or a connection of the
// capture is killed (as xkill would); a new start() then opens afresh.
TEST(CaptureLossTest, ALostConnectionIsReportedOnceAndStartOpensAfresh) {
    testApplication();
    // Opened in this order on a bare server, the capture's control and data
    // connections are the two clients after the driver's; 0 ends the server.
    for (const unsigned long connection : {1ul, 2ul, 0ul}) {
        SCOPED_TRACE(connection);
        auto server = std::make_unique<XvfbSession>(false);
        auto driver = std::make_unique<XTestDriver>(server->display());
        Captured captured;
        auto capture = std::make_unique<x11::X11InputCapture>(server->display());
        ASSERT_TRUE(capture->start(captured.onEvents(), captured.onLost()));
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
            ASSERT_TRUE(capture->start(captured.onEvents(), captured.onLost()));
            driver->chord({"h"});
            ASSERT_TRUE(captured.waitFor(2));
            EXPECT_EQ(captured.events[0].detail, driver->keycode("h"));
        } else if (capture->start(captured.onEvents(), captured.onLost())) {
            capture->stop();  // another test's Xvfb may hold the freed display number by now
        }
        capture.reset();
        settle(100);
        EXPECT_EQ(captured.losses, 1);
    }
}

}  // namespace
}  // namespace ks::test
