#include "triggers/ScheduleRules.h"

#include <gtest/gtest.h>

#include "ScheduleTime.h"

namespace ks::test {
namespace {

constexpr const char* kNA = "N/A";
constexpr const char* kNone = "none";

struct OccurrenceCase {
    const char* zone;
    Schedule schedule;
    const char* now;       // local, or UTC when it says so
    const char* expected;  // local, with its zone abbreviation
};

class NextOccurrence : public ::testing::TestWithParam<OccurrenceCase> {};

TEST_P(NextOccurrence, IsTheFirstMatchingLocalTimeNotBeforeNow) {
    const OccurrenceCase& c = GetParam();
    const TimeZone zone(c.zone);
    const auto next = nextOccurrence(c.schedule, localAt(c.now));
    EXPECT_EQ(next ? localText(*next) : kNone, c.expected);
}

constexpr const char* kBerlin = "Europe/Berlin";
constexpr const char* kNewYork = "America/New_York";
constexpr const char* kUtc = "UTC";

const Schedule kLastDayAtNoon = schedule(2, kNA, kNA, kLastDayOfMonth, kNA, "12", "00", "00");
const Schedule kDay31 = schedule(2, kNA, kNA, "31", kNA, "12", "00", "00");
const Schedule kWednesday9 = schedule(3, kNA, kNA, kNA, "wednesday", "09", "00", "00");
const Schedule kDaily9 = schedule(4, kNA, kNA, kNA, kNA, "09", "00", "00");
const Schedule kDaily0230 = schedule(4, kNA, kNA, kNA, kNA, "02", "30", "00");
const Schedule kHourly30 = schedule(5, kNA, kNA, kNA, kNA, kNA, "30", "00");
const Schedule kMinutely30 = schedule(6, kNA, kNA, kNA, kNA, kNA, kNA, "30");
const Schedule kLeapDay = schedule(1, kNA, "February", "29", kNA, "08", "00", "00");

INSTANTIATE_TEST_SUITE_P(
    EveryPeriod, NextOccurrence,
    ::testing::Values(
        // Once: the date itself, now included; nothing once it has passed.
        OccurrenceCase{kUtc, schedule(0, "2026", "december", "5", kNA, "21", "05", "00"),
                       "2026-12-05 21:05:00", "2026-12-05 21:05:00 UTC"},
        OccurrenceCase{kUtc, schedule(0, "2026", "December", "5", kNA, "21", "05", "00"),
                       "2026-12-05 21:05:01", kNone},
        OccurrenceCase{kUtc, schedule(0, kNA, "December", "5", kNA, "21", "05", "00"),
                       "2026-01-01 00:00:00", kNone},
        // Every Year: 29 February in a leap year, rolled to 1 March in the others.
        OccurrenceCase{kUtc, kLeapDay, "2027-06-01 00:00:00", "2028-02-29 08:00:00 UTC"},
        OccurrenceCase{kUtc, kLeapDay, "2028-02-29 08:00:01", "2029-03-01 08:00:00 UTC"},
        OccurrenceCase{kUtc, kLeapDay, "2099-12-01 00:00:00", "2100-03-01 08:00:00 UTC"},
        // Every Month: the last day of each month, and day 31 rolling over in April.
        OccurrenceCase{kBerlin, kLastDayAtNoon, "2026-01-15 00:00:00", "2026-01-31 12:00:00 CET"},
        OccurrenceCase{kBerlin, kLastDayAtNoon, "2026-01-31 12:00:01", "2026-02-28 12:00:00 CET"},
        OccurrenceCase{kBerlin, kLastDayAtNoon, "2028-02-01 00:00:00", "2028-02-29 12:00:00 CET"},
        OccurrenceCase{kBerlin, kLastDayAtNoon, "2026-03-31 12:00:01", "2026-04-30 12:00:00 CEST"},
        OccurrenceCase{kBerlin, kLastDayAtNoon, "2026-12-31 13:00:00", "2027-01-31 12:00:00 CET"},
        OccurrenceCase{kUtc, kDay31, "2026-04-02 00:00:00", "2026-05-01 12:00:00 UTC"},
        // Every Week: Wednesday from Monday; a day name in any case; no weekday, no occurrence.
        OccurrenceCase{kUtc, kWednesday9, "2026-12-07 10:00:00", "2026-12-09 09:00:00 UTC"},
        OccurrenceCase{kUtc, kWednesday9, "2026-12-09 09:00:01", "2026-12-16 09:00:00 UTC"},
        OccurrenceCase{kUtc, schedule(3, kNA, kNA, kNA, kNA, "09", "00", "00"),
                       "2026-12-07 10:00:00", kNone},
        // Every Day keeps its hour across the daylight-saving changes.
        OccurrenceCase{kBerlin, kDaily9, "2026-03-28 10:00:00", "2026-03-29 09:00:00 CEST"},
        OccurrenceCase{kBerlin, kDaily9, "2026-10-24 10:00:00", "2026-10-25 09:00:00 CET"},
        OccurrenceCase{kNewYork, kDaily9, "2026-03-07 10:00:00", "2026-03-08 09:00:00 EDT"},
        OccurrenceCase{kNewYork, kDaily9, "2026-10-31 10:00:00", "2026-11-01 09:00:00 EST"},
        // 02:30 does not exist on the spring day: it comes an hour on.
        OccurrenceCase{kBerlin, kDaily0230, "2026-03-29 00:00:00", "2026-03-29 03:30:00 CEST"},
        // Every Hour is every elapsed hour: the repeated hour of the autumn day counts twice.
        OccurrenceCase{kUtc, kHourly30, "2026-12-05 10:45:00", "2026-12-05 11:30:00 UTC"},
        OccurrenceCase{kBerlin, kHourly30, "2026-10-25 00:40:00 UTC", "2026-10-25 02:30:00 CET"},
        // Every Minute.
        OccurrenceCase{kUtc, kMinutely30, "2026-12-05 10:00:30", "2026-12-05 10:00:30 UTC"},
        OccurrenceCase{kUtc, kMinutely30, "2026-12-05 10:00:31", "2026-12-05 10:01:30 UTC"},
        OccurrenceCase{kUtc, kMinutely30, "2026-12-31 23:59:31", "2027-01-01 00:00:30 UTC"},
        // A number that is no period.
        OccurrenceCase{kUtc, schedule(7, kNA, kNA, kNA, kNA, kNA, kNA, "30"), "2026-12-05 10:00:00",
                       kNone}));

TEST(ScheduleRules, MonthLengthsFollowTheGregorianLeapYears) {
    struct Case {
        int year, month, days;
    } cases[] = {{2026, 1, 31}, {2026, 4, 30}, {2026, 2, 28}, {2024, 2, 29},
                 {2100, 2, 28}, {2000, 2, 29}, {0, 2, 28},    {2026, 11, 30}};
    for (const Case& c : cases) {
        EXPECT_EQ(daysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
    }
}

TEST(ScheduleRules, EachPeriodUsesItsFields) {
    const char* expected[] = {"YMD.HMS", ".MD.HMS", "..D.HMS", "...WHMS",
                              "....HMS", ".....MS", "......S", "......."};
    for (std::uint32_t period = 0; period <= kPeriodCount; ++period) {
        std::string used;
        for (std::size_t f = 0; f < kScheduleFieldCount; ++f) {
            used += periodUsesField(period, static_cast<ScheduleField>(f)) ? "YMDWHMS"[f] : '.';
        }
        EXPECT_EQ(used, expected[period]) << period;
    }
}

}  // namespace
}  // namespace ks::test
