#include <gtest/gtest.h>

#include "FakeClock.h"
#include "journal/PlaybackSchedule.h"

namespace ks::test {
namespace {

constexpr std::uint32_t K = kWmKeyDown, M = kWmMouseMove;

struct Recorded {
    std::uint32_t message;
    std::uint32_t time;
    std::uint8_t key = 0x41;
};

// Each event carries its index in `paramH`, so the served order can be read back.
std::vector<JournalEvent> recording(const std::vector<Recorded>& events) {
    std::vector<JournalEvent> out;
    for (std::uint32_t i = 0; i < events.size(); ++i)
        out.push_back({events[i].message, events[i].key, i, events[i].time, 0});
    return out;
}

using Served = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // (index, tick)

// Plays the schedule as the player's loop does: waits the answered time
// (plus `late` ms) and asks again until an event is due. Events are stamped
// with the tick they are served at: their scheduled time, or now when late.
Served play(PlaybackSchedule& schedule, FakeClock& clock, std::uint32_t late) {
    Served served;
    for (PlaybackStep step = schedule.getNext(); step.kind != PlaybackStep::Kind::Finished;
         step = schedule.getNext()) {
        if (step.wait > 0) {
            clock.set(clock.monotonicMillis() + step.wait + late);
            continue;
        }
        EXPECT_EQ(step.event.time, clock.ticks()) << step.event.paramH;
        served.emplace_back(step.event.paramH, clock.ticks());
        if (!schedule.skip()) break;
    }
    return served;
}

TEST(PlaybackScheduleTest, TimingRules) {
    struct Case {
        std::vector<Recorded> events;
        std::uint32_t filter;
        std::int32_t speed;
        std::uint32_t start;
        Served expected;
        std::uint32_t late = 0;
    };
    const std::uint32_t wrap = 0xFFFFFF00u;
    const std::vector<Case> cases = {
        {{{K, 7000}, {K, 7100}, {K, 7350}}, 1, 0, 5000, {{0, 5000}, {1, 5100}, {2, 5350}}},
        {{{K, 0}, {K, 1000}, {K, 2000}}, 1, 100, 10, {{0, 10}, {1, 2009}, {2, 4008}}},
        // Filters add the gaps they skip unscaled.
        {{{K, 0}, {M, 100}, {M, 300}, {K, 1000}}, 2, 100, 0, {{0, 0}, {3, 300 + 1399}}},
        {{{M, 0}, {K, 100}, {M, 400}}, 3, -100, 0, {{0, 0}, {2, 100 + 150}}},
        // The first passing event, at index 3, is due after time[2] - time[0].
        {{{K, 0}, {K, 40}, {K, 100}, {M, 150}, {M, 250}}, 3, 100, 1000, {{3, 1100}, {4, 1299}}},
        {{{M, 0}, {M, 10}}, 2, 0, 0, {}},
        {{}, 1, 0, 0, {}},
        {{{K, 100}, {K, 300}, {K, 500}}, 1, 0, wrap, {{0, wrap}, {1, wrap + 200}, {2, wrap + 400}}},
        {{{K, 0xFFFFFFF0u}, {K, 0x10}}, 1, 0, 50, {{0, 50}, {1, 82}}},
        // Waking 30 ms late for each event delays none of the later ones.
        {{{K, 0}, {K, 100}, {K, 200}, {K, 300}},
         1,
         0,
         0,
         {{0, 0}, {1, 130}, {2, 230}, {3, 330}},
         30},
        {{{K, 0}, {K, 500}, {K, 400}}, 1, 0, 0, {{0, 0}, {1, 500}, {2, 500}}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        FakeClock clock(cases[i].start);
        PlaybackSchedule schedule(recording(cases[i].events), cases[i].filter, cases[i].speed,
                                  clock);
        EXPECT_EQ(play(schedule, clock, cases[i].late), cases[i].expected);
    }
}

TEST(PlaybackScheduleTest, RepeatedRequestsDoNotMoveTheScheduledTime) {
    FakeClock clock(0);
    PlaybackSchedule first(recording({{K, 0}, {K, 10}}), 1, 0, clock);
    EXPECT_EQ(first.getNext().event.paramH, 0u);  // anchored at tick 0, asked twice
    EXPECT_EQ(first.getNext().event.paramH, 0u);

    clock.set(1000);
    PlaybackSchedule schedule(recording({{K, 0}, {K, 400}, {K, 500}}), 1, 0, clock);
    ASSERT_EQ(schedule.getNext().wait, 0);
    ASSERT_TRUE(schedule.skip());
    for (std::uint32_t elapsed : {0u, 0u, 150u, 399u}) {
        clock.set(1000 + elapsed);
        const PlaybackStep step = schedule.getNext();
        EXPECT_EQ(step.wait, static_cast<std::int32_t>(400 - elapsed));
        EXPECT_EQ(step.event.time, 1400u);
    }
    clock.set(1405);
    EXPECT_EQ(schedule.getNext().event.time, 1405u);  // late: stamped now
    ASSERT_TRUE(schedule.skip());
    EXPECT_EQ(schedule.getNext().event.time, 1500u);  // the next gap counts from T, not from now
    EXPECT_FALSE(schedule.skip());
    EXPECT_FALSE(schedule.skip());
    EXPECT_EQ(schedule.getNext().kind, PlaybackStep::Kind::Finished);
}

// Pressed directly once due, only a WM_KEYDOWN pressing; a mouse event at x = 0x5B is no key.
TEST(PlaybackScheduleTest, WindowsKeys) {
    FakeClock clock(0);
    PlaybackSchedule schedule(recording({{K, 0, kVkLeftWindows},
                                         {kWmKeyUp, 100, kVkLeftWindows},
                                         {kWmSysKeyDown, 200, kVkRightWindows},
                                         {M, 300, kVkLeftWindows}}),
                              1, 0, clock);
    using Kind = PlaybackStep::Kind;
    for (auto [tick, kind, down] : {std::tuple{0, Kind::PressWindowsKey, true},
                                    {100, Kind::PressWindowsKey, false},
                                    {200, Kind::PressWindowsKey, false},
                                    {300, Kind::Deliver, false}}) {
        SCOPED_TRACE(tick);
        EXPECT_EQ(schedule.getNext().kind, tick == 0 ? kind : Kind::Deliver);  // not yet due: waits
        clock.set(tick);
        const PlaybackStep step = schedule.getNext();
        EXPECT_EQ(std::pair(step.kind, step.keyDown), std::pair(kind, down));
        schedule.skip();
    }
}

TEST(PlaybackScheduleTest, ScaledGap) {
    struct Case {
        std::int32_t gap;
        std::int32_t speed;
        std::int64_t scaled;
    };
    const std::vector<Case> cases = {
        {1000, 0, 1000},   {1000, 100, 1999},   {1000, 50, 1499},  {1000, -100, 500},
        {1000, -200, 250}, {1000, -50, 1000},   {1000, -25, 2000}, {5, -100, 2},
        {3, 100, 5},       {-1000, 100, -1999}, {1, -1, 50},       {2147483647, 100, 4294967246},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scaledGap(c.gap, c.speed), c.scaled) << c.gap << " at " << c.speed;
    }
}

TEST(PlaybackScheduleTest, ParseSpeed) {
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"0", 0},
        {"+40", 40},
        {"  -50x", -50},
        {"\t7", 7},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"1.5", 1},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, speed] : cases) EXPECT_EQ(parseSpeed(text), speed) << text;
}

}  // namespace
}  // namespace ks::test
