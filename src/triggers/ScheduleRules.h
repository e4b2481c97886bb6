#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace ks {

// How often a schedule fires; the stored number of each period.
enum class SchedulePeriod : std::uint32_t {
    Once = 0,
    EveryYear,
    EveryMonth,
    EveryWeek,
    EveryDay,
    EveryHour,
    EveryMinute
};
inline constexpr std::uint32_t kPeriodCount = 7;

inline constexpr std::array<const char*, kPeriodCount> kPeriodTexts = {
    "Once", "Every Year", "Every Month", "Every Week", "Every Day", "Every Hour", "Every Minute"};
inline constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
inline constexpr std::array<const char*, 7> kWeekdayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
inline constexpr const char* kNotApplicable = "N/A";
inline constexpr const char* kLastDayOfMonth = "Last Day of Month";

// The date and time fields of a schedule, in the order the stored values and
// the dialog's list columns give them.
enum class ScheduleField { Year, Month, Day, DayOfWeek, Hour, Minute, Second };
inline constexpr std::size_t kScheduleFieldCount = 7;
inline constexpr std::array<const char*, kScheduleFieldCount> kScheduleValueNames = {
    "Year", "Month", "Day", "DayOfWeek", "Hour", "Minute", "Second"};

// One schedule as stored and as the dialog's list shows it: the period and
// the seven field texts ("N/A" for a field the period does not use).
struct Schedule {
    std::uint32_t period = 0;
    std::array<std::string, kScheduleFieldCount> fields;

    const std::string& field(ScheduleField f) const { return fields[static_cast<std::size_t>(f)]; }
    std::string& field(ScheduleField f) { return fields[static_cast<std::size_t>(f)]; }
    bool operator==(const Schedule&) const = default;
};

// Whether `period` (a stored number, valid or not) uses `field`.
bool periodUsesField(std::uint32_t period, ScheduleField field);

// The period's display text; empty for a number that is no period.
std::string_view periodText(std::uint32_t period);

// The number of days of `month` (1 to 12) in `year`; with no year (0),
// February has 28.
int daysInMonth(int year, int month);

// The next time, in seconds since the epoch, at which `schedule` fires at or
// after `now` (after it, for a weekly schedule), reading the fields in local
// time. Nothing for a "Once" schedule in the past, a weekly one without a
// weekday, a period that is no period, or a date the C library cannot make.
std::optional<std::time_t> nextOccurrence(const Schedule& schedule, std::time_t now);

}  // namespace ks
