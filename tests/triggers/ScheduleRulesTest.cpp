#include "triggers/Scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "FakeClock.h"
#include "StoreFixture.h"
#include "triggers/ScheduleRules.h"

namespace ks::test {
namespace {

void useZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

// "2026-03-28 10:00:00" in the local zone, or in UTC when it ends in " UTC"
// (for an hour the local clock shows twice).
std::time_t localAt(const std::string& text) {
    std::tm t{};
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                &t.tm_min, &t.tm_sec);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_isdst = -1;
    return text.ends_with(" UTC") ? timegm(&t) : std::mktime(&t);
}

// "2026-03-29 09:00:00 CEST".
std::string localText(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &t);
    return text;
}

// A schedule of `period` with its fields in stored order; "-" stands for "N/A".
Schedule schedule(std::uint32_t period, std::array<const char*, 7> fields) {
    Schedule s{period, {}};
    for (std::size_t f = 0; f < fields.size(); ++f)
        s.fields[f] = std::string(fields[f]) == "-" ? kNotApplicable : fields[f];
    return s;
}

constexpr const char* kBerlin = "Europe/Berlin";
constexpr const char* kUtc = "UTC";
constexpr const char* kNone = "none";

const Schedule kLeapDay = schedule(1, {"-", "February", "29", "-", "08", "00", "00"});
const Schedule kLastDay = schedule(2, {"-", "-", kLastDayOfMonth, "-", "12", "00", "00"});
const Schedule kWednesday = schedule(3, {"-", "-", "-", "wednesday", "09", "00", "00"});
const Schedule kDaily = schedule(4, {"-", "-", "-", "-", "09", "00", "00"});
const Schedule kHourly = schedule(5, {"-", "-", "-", "-", "-", "30", "00"});
const Schedule kMinutely = schedule(6, {"-", "-", "-", "-", "-", "-", "30"});

using Texts = std::vector<std::string>;

class SchedulerTest : public StoreFixture {
protected:
    SchedulerTest() {
        useZone(kBerlin);
        clock.set(localAt("2026-12-07 10:00:10") * 1000);  // a Monday
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

TEST_F(SchedulerTest, EveryMinuteFiresOnItsSecondWithIdentifiersFromTwo) {
    save("Tick", 0, kMinutely);
    scheduler.start();
    scheduler.load("Tick");
    EXPECT_EQ(timerOf(0), 2);
    EXPECT_EQ(scheduler.endOfDayDue(), localAt("2026-12-07 23:59:59") * 1000);
    runUntil("2026-12-07 10:00:31");
    EXPECT_EQ(timerOf(0), 3);  // armed again at once, for the next minute
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
    runUntil("2026-12-17 00:00:00");
    EXPECT_EQ(fired, (Texts{"Later 2026-12-08 16:00:00 CET", "Weekly 2026-12-09 09:00:00 CET",
                            "Weekly 2026-12-16 09:00:00 CET"}));
}

// The wall clock moves while timers count elapsed time: set by hand, or over
// a suspend. A pending occurrence that was passed fires once, late.
TEST_F(SchedulerTest, ClockChangesReArmAndAPassedOccurrenceFiresOnce) {
    save("Daily", 0, schedule(4, {"-", "-", "-", "-", "11", "00", "00"}));
    save("Tick", 0, kMinutely);
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
    save("Tick", 0, kMinutely, {"Hour", "Minute"});
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
}

// Off, loading arms nothing; removal goes by name in any case.
TEST_F(SchedulerTest, TheSwitchAndRemovalKillTimers) {
    save("Tick", 0, kMinutely);
    save("Tick", 1, schedule(5, {"-", "-", "-", "-", "-", "15", "00"}));
    save("Other", 0, kMinutely);
    for (const char* macro : {"Tick", "Other"}) scheduler.load(macro);
    EXPECT_EQ(timerOf(0) + timerOf(1) + timerOf(2), 0);
    EXPECT_FALSE(scheduler.endOfDayDue());
    scheduler.start();
    scheduler.remove("tick");
    runUntil("2026-12-07 10:00:31");
    EXPECT_EQ(fired, (Texts{"Other 2026-12-07 10:00:30 CET"}));
    scheduler.stop();
    EXPECT_FALSE(scheduler.endOfDayDue());
    runUntil("2026-12-08 12:00:00");
    EXPECT_EQ(fired.size(), 1u);
}

// The first local time a schedule fires at or after now.
TEST(ScheduleRules, NextOccurrence) {
    // The zone, the schedule, now (local, or UTC when it says so) and the next occurrence.
    const std::tuple<const char*, Schedule, const char*, const char*> cases[] = {
        {kUtc, schedule(0, {"2026", "december", "5", "-", "21", "05", "00"}), "2026-12-05 21:05:00",
         "2026-12-05 21:05:00 UTC"},
        {kUtc, schedule(0, {"2026", "December", "5", "-", "21", "05", "00"}), "2026-12-05 21:05:01",
         kNone},
        // 29 February falls on 1 March in the other years.
        {kUtc, kLeapDay, "2027-06-01 00:00:00", "2028-02-29 08:00:00 UTC"},
        {kUtc, kLeapDay, "2028-02-29 08:00:01", "2029-03-01 08:00:00 UTC"},
        {kBerlin, kLastDay, "2026-01-31 12:00:01", "2026-02-28 12:00:00 CET"},
        {kUtc, schedule(2, {"-", "-", "31", "-", "12", "00", "00"}), "2026-04-02 00:00:00",
         "2026-05-01 12:00:00 UTC"},
        {kUtc, kWednesday, "2026-12-07 10:00:00", "2026-12-09 09:00:00 UTC"},
        {kUtc, schedule(3, {"-", "-", "-", "-", "09", "00", "00"}), "2026-12-07 10:00:00", kNone},
        // Daily schedules keep their hour across daylight-saving changes.
        {kBerlin, kDaily, "2026-03-28 10:00:00", "2026-03-29 09:00:00 CEST"},
        {kBerlin, schedule(4, {"-", "-", "-", "-", "02", "30", "00"}), "2026-03-29 00:00:00",
         "2026-03-29 03:30:00 CEST"},
        // Hourly ones count elapsed hours: the repeated autumn hour fires twice.
        {kBerlin, kHourly, "2026-10-25 00:40:00 UTC", "2026-10-25 02:30:00 CET"},
        {kUtc, kMinutely, "2026-12-31 23:59:31", "2027-01-01 00:00:30 UTC"},
        {kUtc, schedule(7, {"-", "-", "-", "-", "-", "-", "30"}), "2026-12-05 10:00:00", kNone},
    };
    for (const auto& [zone, schedule, now, expected] : cases) {
        useZone(zone);
        const auto next = nextOccurrence(schedule, localAt(now));
        EXPECT_EQ(next ? localText(*next) : kNone, expected) << zone << " " << now;
    }
}

}  // namespace
}  // namespace ks::test
