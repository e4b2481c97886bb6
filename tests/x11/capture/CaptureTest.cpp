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
    int blocks = 0;
    int losses = 0;

    InputCapture::EventsHandler onEvents() {
        return [this](const CapturedInput* block, std::size_t count) {
            events.insert(events.end(), block, block + count);
            ++blocks;
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
    static void SetUpTestSuite() {
        testApplication();
        session_ = std::make_unique<XvfbSession>();
        window_ = std::make_unique<TypingWindow>(*session_, "capture target", 100, 100);
    }
    static void TearDownTestSuite() {
        window_.reset();
        session_.reset();
    }

    static const XvfbSession& session() { return *session_; }
    static const TypingWindow& window() { return *window_; }

    XTestDriver driver{session().display()};
    x11::X11InputCapture capture{session().display()};
    Captured captured;

private:
    static inline std::unique_ptr<XvfbSession> session_;
    static inline std::unique_ptr<TypingWindow> window_;
};

enum class Act { Move, KeyDown, KeyUp, ButtonDown, ButtonUp };

struct Step {
    Act act;
    const char* key;  // keysym name for key steps
    unsigned button;
    Kind kind;
    std::uint32_t modifiers;
};

constexpr std::uint32_t kCtrl = CapturedInput::kControl, kAlt = CapturedInput::kAlt,
                        kShift = CapturedInput::kShift;

// Over the typing window: its frame is under the pointer, it has the focus.
const std::vector<Step> kInWindow = {
    {Act::Move, nullptr, 0, Kind::Motion, 0},
    {Act::KeyDown, "Control_L", 0, Kind::KeyPress, 0},
    {Act::KeyDown, "Alt_L", 0, Kind::KeyPress, kCtrl},
    {Act::KeyDown, "a", 0, Kind::KeyPress, kCtrl | kAlt},
    {Act::KeyUp, "a", 0, Kind::KeyRelease, kCtrl | kAlt},
    {Act::KeyUp, "Alt_L", 0, Kind::KeyRelease, kCtrl | kAlt},
    {Act::KeyUp, "Control_L", 0, Kind::KeyRelease, kCtrl},
    {Act::KeyDown, "Shift_L", 0, Kind::KeyPress, 0},
    {Act::KeyDown, "b", 0, Kind::KeyPress, kShift},
    {Act::KeyUp, "b", 0, Kind::KeyRelease, kShift},
    {Act::KeyUp, "Shift_L", 0, Kind::KeyRelease, kShift},
    {Act::ButtonDown, nullptr, 1, Kind::ButtonPress, 0},
    {Act::ButtonUp, nullptr, 1, Kind::ButtonRelease, 0},
    {Act::ButtonDown, nullptr, 2, Kind::ButtonPress, 0},
    {Act::ButtonUp, nullptr, 2, Kind::ButtonRelease, 0},
    {Act::ButtonDown, nullptr, 3, Kind::ButtonPress, 0},
    {Act::ButtonUp, nullptr, 3, Kind::ButtonRelease, 0},
};

// Over the bare desktop: the root is under the pointer.
const std::vector<Step> kOnDesktop = {
    {Act::Move, nullptr, 0, Kind::Motion, 0},
    {Act::ButtonDown, nullptr, 4, Kind::ButtonPress, 0},
    {Act::ButtonUp, nullptr, 4, Kind::ButtonRelease, 0},
    {Act::ButtonDown, nullptr, 5, Kind::ButtonPress, 0},
    {Act::ButtonUp, nullptr, 5, Kind::ButtonRelease, 0},
};

struct Played {
    std::vector<unsigned> details;
    // Each step went to the server after `sent` and was handled before `handled`.
    std::vector<Clock::time_point> sent;
    std::vector<Clock::time_point> handled;
};

Played play(XTestDriver& driver, const std::vector<Step>& steps, int x, int y) {
    Played played;
    for (const Step& step : steps) {
        std::this_thread::sleep_for(kGap);
        const unsigned code = step.key ? driver.keycode(step.key) : 0;
        played.sent.push_back(Clock::now());
        switch (step.act) {
            case Act::Move: driver.moveTo(x, y); break;
            case Act::KeyDown: driver.key(code, true); break;
            case Act::KeyUp: driver.key(code, false); break;
            case Act::ButtonDown: driver.button(step.button, true); break;
            case Act::ButtonUp: driver.button(step.button, false); break;
        }
        driver.sync();
        played.handled.push_back(Clock::now());
        played.details.push_back(step.key ? code : step.button);
    }
    return played;
}

std::int64_t millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

void expectCaptured(const std::vector<CapturedInput>& events, std::size_t first,
                    const std::vector<Step>& steps, const Played& played, int x, int y,
                    unsigned long focus, unsigned long underPointer) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "step " << i);
        const CapturedInput& event = events.at(first + i);
        const Step& step = steps[i];
        const bool key = step.act == Act::KeyDown || step.act == Act::KeyUp;
        EXPECT_EQ(event.kind, step.kind);
        EXPECT_EQ(event.detail, played.details[i]);
        EXPECT_EQ(event.modifiers, step.modifiers);
        EXPECT_EQ(event.rootX, x);
        EXPECT_EQ(event.rootY, y);
        EXPECT_EQ(event.window, key ? focus : underPointer);
        if (i == 0) continue;
        // The server stamps each event when it handles it: the gap between
        // two stamps lies within what the client saw of the two steps,
        // give or take the stamps' millisecond rounding.
        const auto serverGap =
            static_cast<std::int64_t>(event.time - events.at(first + i - 1).time);
        EXPECT_GE(serverGap, millisecondsBetween(played.handled[i - 1], played.sent[i]) - 1);
        EXPECT_LE(serverGap, millisecondsBetween(played.sent[i - 1], played.handled[i]) + 1);
    }
}

TEST_F(CaptureTest, EveryFieldOfEveryEventInOrder) {
    // A loaded window manager may place the window late or leave the focus
    // elsewhere: the events go to wherever the window is, with the focus set.
    const auto [x, y] = driver.centreOf(window().window());
    driver.focus(window().window());
    driver.moveTo(x, y);
    driver.sync();
    ASSERT_TRUE(runEventsUntil([this] { return driver.focusedAndUnderPointer(window().window()); },
                               kWaitMs));
    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    const Played inWindow = play(driver, kInWindow, x, y);
    ASSERT_TRUE(captured.waitFor(kInWindow.size()));
    // The window lookup is made per delivered block: the pointer leaves only
    // once the events over the window were handed over.
    const Played onDesktop = play(driver, kOnDesktop, 900, 650);
    ASSERT_TRUE(captured.waitFor(kInWindow.size() + kOnDesktop.size()));
    settle(100);
    ASSERT_EQ(captured.events.size(), kInWindow.size() + kOnDesktop.size());

    const unsigned long focus = window().window();
    expectCaptured(captured.events, 0, kInWindow, inWindow, x, y, focus, driver.topLevelOf(focus));
    expectCaptured(captured.events, kInWindow.size(), kOnDesktop, onDesktop, 900, 650, focus,
                   driver.root());
    EXPECT_GE(captured.events[kInWindow.size()].time, captured.events[kInWindow.size() - 1].time);
    EXPECT_EQ(captured.losses, 0);
}

TEST_F(CaptureTest, StopInsideTheHandlerEndsDeliveryAndStartCapturesAnew) {
    std::vector<CapturedInput> seen;
    int calls = 0;
    ASSERT_TRUE(capture.start(
        [&](const CapturedInput* block, std::size_t count) {
            ++calls;
            seen.insert(seen.end(), block, block + count);
            capture.stop();
        },
        captured.onLost()));
    driver.chord({"c"});
    ASSERT_TRUE(runEventsUntil([&] { return calls > 0; }, kWaitMs));
    driver.chord({"d"});
    settle(200);
    EXPECT_EQ(calls, 1);
    for (const CapturedInput& event : seen) EXPECT_EQ(event.detail, driver.keycode("c"));

    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    driver.chord({"e"});
    ASSERT_TRUE(captured.waitFor(2));
    settle(100);
    ASSERT_EQ(captured.events.size(), 2u);
    EXPECT_EQ(captured.events[0].detail, driver.keycode("e"));
    EXPECT_EQ(captured.events[1].detail, driver.keycode("e"));
    EXPECT_EQ(captured.events[1].kind, Kind::KeyRelease);
}

TEST_F(CaptureTest, StopIsHarmlessWhenNotCapturingAndDropsWhatWasNotDelivered) {
    capture.stop();
    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    driver.chord({"f"});
    capture.stop();  // before the event loop could deliver the key
    settle(200);
    EXPECT_TRUE(captured.events.empty());
    capture.stop();
}

TEST(CaptureStartTest, FailsWithoutADisplay) {
    testApplication();
    x11::X11InputCapture capture(":65000");
    EXPECT_FALSE(capture.start([](const CapturedInput*, std::size_t) {}, [] {}));
    capture.stop();
}

// With no window manager and no window, a key goes to no client: the
// server writes to nobody, and the capture has to make it hand the key over.
TEST(CaptureBareServerTest, AKeyNoClientListensToArrivesPromptly) {
    testApplication();
    XvfbSession server(false);
    Captured captured;
    x11::X11InputCapture capture(server.display());
    ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
    XTestDriver driver(server.display());
    const auto pressed = Clock::now();
    driver.key(driver.keycode("Pause"), true);
    driver.key(driver.keycode("Pause"), false);
    driver.flush();
    ASSERT_TRUE(captured.waitFor(2));
    EXPECT_LT(Clock::now() - pressed, std::chrono::milliseconds(300));
}

TEST(CaptureLossTest, ServerDeathIsReportedOnceAndTheProgramGoesOn) {
    testApplication();
    auto server = std::make_unique<XvfbSession>(false);
    const std::string display = server->display();
    Captured captured;
    auto capture = std::make_unique<x11::X11InputCapture>(display);
    ASSERT_TRUE(capture->start(captured.onEvents(), captured.onLost()));
    {
        XTestDriver driver(display);
        driver.chord({"g"});
        ASSERT_TRUE(captured.waitFor(2));
    }
    server.reset();
    ASSERT_TRUE(runEventsUntil([&] { return captured.losses > 0; }, kWaitMs));
    settle(300);
    EXPECT_EQ(captured.losses, 1);
    capture->stop();
    // Another test's Xvfb may already hold the freed display number, so a new
    // start may succeed there; either way the old loss is not reported again.
    if (capture->start(captured.onEvents(), captured.onLost())) capture->stop();
    capture.reset();
    settle(100);
    EXPECT_EQ(captured.losses, 1);
}

// The capture's connections are killed one at a time, as xkill would: the
// loss is reported once, and a new start() opens fresh connections.
TEST(CaptureLossTest, AKilledConnectionIsReportedOnceAndStartOpensAfresh) {
    testApplication();
    // Opened in this order on a bare server, the capture's control and data
    // connections are the two clients after the driver's.
    for (const unsigned long connection : {1ul, 2ul}) {
        SCOPED_TRACE(connection == 1 ? "control" : "data");
        XvfbSession server(false);
        XTestDriver driver(server.display());
        Captured captured;
        x11::X11InputCapture capture(server.display());
        ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
        driver.killClient(driver.clientBase() + connection * XTestDriver::kClientRange);
        ASSERT_TRUE(runEventsUntil([&] { return captured.losses > 0; }, kWaitMs));
        settle(200);
        EXPECT_EQ(captured.losses, 1);

        ASSERT_TRUE(capture.start(captured.onEvents(), captured.onLost()));
        driver.chord({"h"});
        ASSERT_TRUE(captured.waitFor(2));
        EXPECT_EQ(captured.events[0].detail, driver.keycode("h"));
    }
}

}  // namespace
}  // namespace ks::test
