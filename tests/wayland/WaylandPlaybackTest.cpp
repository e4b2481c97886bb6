// The player's thread on Wayland: its own connection and keyboard, steps at
// absolute deadlines, observed by a Wayland client as the keys arrive.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "QtTestLoop.h"
#include "TypingWindow.h"
#include "WaylandSession.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"
#include "platform/wayland/WaylandPlaybackThread.h"

namespace ks::test {
namespace {

using std::chrono::milliseconds;
using wayland::WaylandConnection;
using wayland::WaylandInput;
using wayland::WaylandPlaybackThread;

std::int64_t monotonicMillis() {
    return std::chrono::duration_cast<milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Each key reaches the window at its deadline, as the window sees them
// arrive, and the finish comes on the caller's thread after the last. The
// first key is measured from, not against: the focused program reads the
// new keyboard's keymap before it (some 20 ms for Qt), as after any switch
// between keyboards.
TEST(WaylandPlaybackTest, KeysArriveAtTheirDeadlinesThenThePlaybackFinishesAndStopEndsAWait) {
    testApplication();
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    auto connection = WaylandConnection::open(session.socketPath());
    ASSERT_TRUE(connection) << connection.error();
    auto input = WaylandInput::open(**connection);
    ASSERT_TRUE(input) << input.error();
    WaylandPlaybackThread thread(session.socketPath(), (*input)->injector());
    ASSERT_TRUE(thread.available());
    TypingWindow window(session, "playback", true);
    struct Planned {
        int at;  // ms after the first
        std::uint8_t vk;
        bool down;
    };
    const Planned plan[] = {{0, 'A', true}, {40, 'A', false}, {100, 'B', true}, {160, 'B', false}};
    const std::int64_t start = monotonicMillis();
    std::size_t next = 0;
    bool finished = false;
    thread.start(
        [&](InputInjector& injector) -> std::optional<std::int64_t> {
            injector.key(plan[next].vk, 0, plan[next].down);
            injector.flush();
            if (++next == std::size(plan)) return std::nullopt;
            return start + plan[next].at;
        },
        [&] { finished = true; });
    ASSERT_TRUE(runEventsUntil([&] { return finished; }, 5000));

    std::istringstream lines(window.text(4 * 20));
    std::vector<long long> arrivals;
    std::string word, direction;
    long long micros = 0;
    unsigned keycode = 0;
    for (const Planned& planned : plan) {
        ASSERT_TRUE(lines >> word >> micros >> direction >> keycode) << window.text(0);
        EXPECT_EQ(direction, planned.down ? "down" : "up");
        EXPECT_EQ(keycode, planned.vk == 'A' ? 38u : 56u);  // evdev KEY_A, KEY_B + 8
        arrivals.push_back(micros);
    }
    for (std::size_t i = 2; i < arrivals.size(); ++i) {
        const double after = (arrivals[i] - arrivals[1]) / 1000.0;
        EXPECT_NEAR(after, plan[i].at - plan[1].at, 10) << "event " << i;
    }

    // Stop ends a wait at once, and the playback then never finishes.
    finished = false;
    thread.start([&](InputInjector&) { return monotonicMillis() + 10000; },
                 [&] { finished = true; });
    runEventsUntil([] { return false; }, 50);
    const auto before = std::chrono::steady_clock::now();
    thread.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(100));
    runEventsUntil([] { return false; }, 100);
    EXPECT_FALSE(finished);
}

}  // namespace
}  // namespace ks::test
