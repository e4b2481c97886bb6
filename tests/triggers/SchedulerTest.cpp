#include "triggers/Scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeClock.h"
#include "ScheduleTime.h"
#include "StoreFixture.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;

class SchedulerTest : public StoreFixture {
protected:
    SchedulerTest() {
        useZone("Europe/Berlin");
        at("2026-12-07 10:00:10");  // a Monday
    }

    // Stores schedule `n` of `macro`; `omit` names the values left out.
    void save(const std::string& macro, int n, const Schedule& s, const Texts& omit = {}) {
        std::string reg = "[Macros\\" + macro + "\\Schedule\\" + std::to_string(n) +
                          "]\n\"Period\"=dword:0000000" + std::to_string(s.period) + "\n";
        for (std::size_t f = 0; f < kScheduleFieldCount; ++f) {
            if (std::find(omit.begin(), omit.end(), kScheduleValueNames[f]) != omit.end()) continue;
            reg += "\"" + std::string(kScheduleValueNames[f]) + "\"=\"" + s.fields[f] + "\"\n";
        }
        load(reg);
    }
    void at(const char* local) { clock.set(localAt(local) * 1000); }
    // Lets virtual time run until the wall clock reads `local`.
    void runUntil(const char* local) {
        bool reached = false;
        clock.after(std::chrono::milliseconds(localAt(local) * 1000 - clock.wallMillis()),
                    [&] { reached = true; });
        ASSERT_TRUE(clock.run([&] { return reached; }));
    }
    std::string wallText() {
        const std::int64_t wall = clock.wallMillis();
        const std::string millis = wall % 1000 ? "+" + std::to_string(wall % 1000) + "ms" : "";
        return localText(static_cast<std::time_t>(wall / 1000)) + millis;
    }
    std::int32_t timerOf(std::size_t entry) { return scheduler.entries().at(entry).timerId; }

    FakeClock clock;
    Texts fired;
    bool postSucceeds = true;
    Scheduler scheduler{*store, clock, [this](const std::string& macro) {
                            fired.push_back(macro + " " + wallText());
                            return postSucceeds;
                        }};
};

const Schedule kMinutely30 = schedule(6, {"-", "-", "-", "-", "-", "-", "30"});

TEST_F(SchedulerTest, EveryMinuteFiresOnItsSecondWithIdentifiersFromTwo) {
    save("Tick", 0, kMinutely30);
    scheduler.start();
    scheduler.load("Tick");
    EXPECT_EQ(timerOf(0), 2);
    EXPECT_EQ(scheduler.endOfDayDue(), localAt("2026-12-07 23:59:59") * 1000);
    runUntil("2026-12-07 10:00:31");
    EXPECT_EQ(timerOf(0), 3);  // armed again at once, for the next minute
    EXPECT_EQ(scheduler.entries()[0].dueMillis - clock.wallMillis(), 59000);
    runUntil("2026-12-07 10:03:00");
    EXPECT_EQ(fired, (Texts{"Tick 2026-12-07 10:00:30 CET", "Tick 2026-12-07 10:01:30 CET",
                            "Tick 2026-12-07 10:02:30 CET"}));
}

// Far schedules wait for the daily re-arm: Wednesday 09:00 seen from Monday
// 10:00 is 47 hours off, from Monday 23:59:59 33 hours, from Tuesday's 9.
TEST_F(SchedulerTest, TheDailyReArmPicksUpWhatIsBeyondTheLimit) {
    save("Weekly", 0, schedule(3, {"-", "-", "-", "Wednesday", "09", "00", "00"}));
    save("Later", 0, schedule(0, {"2026", "December", "8", "-", "16", "00", "00"}));  // 30 h off
    save("Past", 0, schedule(0, {"2026", "December", "7", "-", "09", "00", "00"}));
    scheduler.start();
    for (const char* macro : {"Weekly", "Later", "Past"}) scheduler.load(macro);
    EXPECT_EQ(timerOf(0) + timerOf(1) + timerOf(2), 0);
    runUntil("2026-12-08 00:00:00");
    EXPECT_EQ(timerOf(0), 0);
    EXPECT_NE(timerOf(1), 0);
    EXPECT_EQ(timerOf(2), 0);
    runUntil("2026-12-09 00:00:00");
    EXPECT_NE(timerOf(0), 0);
    runUntil("2026-12-17 00:00:00");
    EXPECT_EQ(fired, (Texts{"Later 2026-12-08 16:00:00 CET", "Weekly 2026-12-09 09:00:00 CET",
                            "Weekly 2026-12-16 09:00:00 CET"}));
}

// The wall clock moves while timers count elapsed time: set by hand, or over
// a suspend. A pending occurrence that was passed fires once, late.
TEST_F(SchedulerTest, ClockChangesReArmAndAPassedOccurrenceFiresOnce) {
    save("Daily", 0, schedule(4, {"-", "-", "-", "-", "11", "00", "00"}));
    save("Tick", 0, kMinutely30);
    scheduler.start();
    scheduler.load("Daily");
    scheduler.load("Tick");
    // What fires until `until` once the wall clock is set to `wall` (none: slewed, unannounced).
    const auto firedAfterSetting = [this](const char* wall, const char* until) {
        fired.clear();
        clock.setWall(wall ? localAt(wall) * 1000 : clock.wallMillis() - 400);
        if (wall) scheduler.clockChanged();
        runUntil(until);
        return fired;
    };
    // Set back an hour before, forward now; then three hours asleep; back before 11:00 once more.
    EXPECT_EQ(firedAfterSetting("2026-12-07 10:59:50", "2026-12-07 11:00:00"),
              (Texts{"Tick 2026-12-07 10:59:50 CET", "Daily 2026-12-07 11:00:00 CET"}));
    EXPECT_EQ(firedAfterSetting("2026-12-07 14:00:10", "2026-12-07 14:01:00"),
              (Texts{"Tick 2026-12-07 14:00:10 CET", "Tick 2026-12-07 14:00:30 CET"}));
    EXPECT_EQ(firedAfterSetting("2026-12-07 10:59:00", "2026-12-07 11:00:00"),
              (Texts{"Tick 2026-12-07 10:59:30 CET", "Daily 2026-12-07 11:00:00 CET"}));
    EXPECT_EQ(firedAfterSetting(nullptr, "2026-12-07 11:00:31"),
              (Texts{"Tick 2026-12-07 11:00:30 CET"}));  // the timer waits on
}

TEST_F(SchedulerTest, FailuresAreShownAndTheScheduleStays) {
    save("Odd", 0, schedule(9, {"-", "-", "-", "-", "-", "-", "30"}));
    save("Tick", 0, kMinutely30, {"Hour", "Minute"});
    scheduler.start();
    scheduler.load("Odd");
    scheduler.load("Tick");
    scheduler.clockChanged();
    postSucceeds = false;
    runUntil("2026-12-07 10:01:31");
    const std::string
        at = "Error reading value in reigistry at: Software\\Quorvel\\Keystrider\\Macros\\Tick"
             "\\Schedule\\0\\",
        missing = ", error: The value does not exist.";
    EXPECT_EQ(messages.texts(),
              (Texts{"Invalid time period.", at + "Hour" + missing + "\n" + at + "Minute" + missing,
                     "Invalid time period.", "Error posting message to main thread.",
                     "Error posting message to main thread."}));
    EXPECT_EQ(fired.size(), 2u);
}

// Off, loading arms nothing; removal goes by name in any case.
TEST_F(SchedulerTest, TheSwitchAndRemovalKillTimers) {
    save("Tick", 0, kMinutely30);
    save("Tick", 1, schedule(5, {"-", "-", "-", "-", "-", "15", "00"}));
    save("Other", 0, kMinutely30);
    for (const char* macro : {"Tick", "Other"}) scheduler.load(macro);
    EXPECT_EQ(timerOf(0) + timerOf(1) + timerOf(2), 0);
    EXPECT_FALSE(scheduler.endOfDayDue());
    scheduler.start();
    scheduler.remove("tick");
    runUntil("2026-12-07 10:00:31");
    EXPECT_EQ(fired, (Texts{"Other 2026-12-07 10:00:30 CET"}));
    scheduler.stop();
    EXPECT_EQ(timerOf(0), 0);
    EXPECT_FALSE(scheduler.endOfDayDue());
    runUntil("2026-12-08 12:00:00");
    EXPECT_EQ(fired.size(), 1u);
}

}  // namespace
}  // namespace ks::test
