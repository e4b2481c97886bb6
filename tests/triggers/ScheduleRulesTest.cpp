#include "triggers/ScheduleRules.h"

#include <gtest/gtest.h>

#include "ScheduleTime.h"

namespace ks::test {
namespace {

constexpr const char* kBerlin = "Europe/Berlin";
constexpr const char* kNewYork = "America/New_York";
constexpr const char* kUtc = "UTC";
constexpr const char* kNone = "none";

const Schedule kLeapDay = schedule(1, {"-", "February", "29", "-", "08", "00", "00"});
const Schedule kLastDay = schedule(2, {"-", "-", kLastDayOfMonth, "-", "12", "00", "00"});
const Schedule kWednesday = schedule(3, {"-", "-", "-", "wednesday", "09", "00", "00"});
const Schedule kDaily = schedule(4, {"-", "-", "-", "-", "09", "00", "00"});
const Schedule kHourly = schedule(5, {"-", "-", "-", "-", "-", "30", "00"});
const Schedule kMinutely = schedule(6, {"-", "-", "-", "-", "-", "-", "30"});

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
        {kBerlin, kLastDay, "2028-02-01 00:00:00", "2028-02-29 12:00:00 CET"},
        {kBerlin, kLastDay, "2026-03-31 12:00:01", "2026-04-30 12:00:00 CEST"},
        {kUtc, schedule(2, {"-", "-", "31", "-", "12", "00", "00"}), "2026-04-02 00:00:00",
         "2026-05-01 12:00:00 UTC"},
        {kUtc, kWednesday, "2026-12-07 10:00:00", "2026-12-09 09:00:00 UTC"},
        {kUtc, schedule(3, {"-", "-", "-", "-", "09", "00", "00"}), "2026-12-07 10:00:00", kNone},
        // Daily schedules keep their hour across daylight-saving changes.
        {kBerlin, kDaily, "2026-03-28 10:00:00", "2026-03-29 09:00:00 CEST"},
        {kNewYork, kDaily, "2026-03-07 10:00:00", "2026-03-08 09:00:00 EDT"},
        {kNewYork, kDaily, "2026-10-31 10:00:00", "2026-11-01 09:00:00 EST"},
        {kBerlin, schedule(4, {"-", "-", "-", "-", "02", "30", "00"}), "2026-03-29 00:00:00",
         "2026-03-29 03:30:00 CEST"},
        // Hourly ones count elapsed hours: the repeated autumn hour fires twice.
        {kUtc, kHourly, "2026-12-05 10:45:00", "2026-12-05 11:30:00 UTC"},
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
