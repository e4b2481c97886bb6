#include "triggers/ScheduleRules.h"

#include <QString>

namespace ks {

namespace {

using F = ScheduleField;

// The leading decimal digits of a field's text; none gives 0, so "N/A" and
// "Last Day of Month" read as 0.
int leadingNumber(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 100000) break;
        value = value * 10 + (c - '0');
    }
    return value;
}

// 1 for the first name `text` matches ignoring case, 0 for none.
template <std::size_t N>
int nameNumber(const std::array<const char*, N>& names, std::string_view text) {
    const QString wanted = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (std::size_t i = 0; i < N; ++i) {
        if (wanted.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// A local date and time made the way mktime makes it: fields beyond their
// range roll over into the next month, day or hour, and the daylight-saving
// state is the one in force then.
std::optional<std::time_t> localTime(int year, int month, int day, int hour, int minute,
                                     int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    const std::time_t made = std::mktime(&parts);
    if (made == static_cast<std::time_t>(-1)) return std::nullopt;
    return made;
}

std::tm localParts(std::time_t when) {
    std::tm parts{};
    localtime_r(&when, &parts);
    return parts;
}

struct Fields {
    int year, month, day, weekday, hour, minute, second;
};

Fields convert(const Schedule& s) {
    return Fields{
        leadingNumber(s.field(F::Year)),  nameNumber(kMonthNames, s.field(F::Month)),
        leadingNumber(s.field(F::Day)),   nameNumber(kWeekdayNames, s.field(F::DayOfWeek)),
        leadingNumber(s.field(F::Hour)),  leadingNumber(s.field(F::Minute)),
        leadingNumber(s.field(F::Second))};
}

// The first of `candidate(0)`, `candidate(1)`, … that is not before `now`
// and that `accept` takes; the search gives up after `limit` candidates.
template <typename Candidate, typename Accept>
std::optional<std::time_t> firstFrom(std::time_t now, int limit, Candidate candidate,
                                     Accept accept) {
    for (int step = 0; step < limit; ++step) {
        const std::optional<std::time_t> t = candidate(step);
        if (!t) return std::nullopt;
        if (*t >= now && accept(*t)) return t;
    }
    return std::nullopt;
}

constexpr auto anyTime = [](std::time_t) { return true; };

}  // namespace

bool periodUsesField(std::uint32_t period, ScheduleField field) {
    switch (static_cast<SchedulePeriod>(period)) {
        case SchedulePeriod::Once: return field != F::DayOfWeek;
        case SchedulePeriod::EveryYear: return field != F::DayOfWeek && field != F::Year;
        case SchedulePeriod::EveryMonth: return field >= F::Day && field != F::DayOfWeek;
        case SchedulePeriod::EveryWeek: return field >= F::DayOfWeek;
        case SchedulePeriod::EveryDay: return field >= F::Hour;
        case SchedulePeriod::EveryHour: return field >= F::Minute;
        case SchedulePeriod::EveryMinute: return field == F::Second;
    }
    return false;
}

std::string_view periodText(std::uint32_t period) {
    return period < kPeriodCount ? kPeriodTexts[period] : "";
}

int daysInMonth(int year, int month) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11: return 30;
        case 2: {
            const bool leap = year > 0 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
            return leap ? 29 : 28;
        }
        default: return 31;
    }
}

// Days are stepped on the calendar, not by 86400 seconds, so that a daily or
// weekly schedule keeps its hour across a daylight-saving change.
std::optional<std::time_t> nextOccurrence(const Schedule& schedule, std::time_t now) {
    const Fields f = convert(schedule);
    const std::tm today = localParts(now);
    const int y = today.tm_year + 1900;
    const int mo = today.tm_mon + 1;
    const int d = today.tm_mday;
    // Years and months: enough steps to pass any valid date, bounded for any field.
    constexpr int kYearSteps = 9;
    constexpr int kMonthSteps = 14;
    switch (static_cast<SchedulePeriod>(schedule.period)) {
        case SchedulePeriod::Once:
            return firstFrom(
                now, 1,
                [&](int) { return localTime(f.year, f.month, f.day, f.hour, f.minute, f.second); },
                anyTime);
        case SchedulePeriod::EveryYear:
            return firstFrom(
                now, kYearSteps,
                [&](int k) { return localTime(y + k, f.month, f.day, f.hour, f.minute, f.second); },
                anyTime);
        case SchedulePeriod::EveryMonth:
            return firstFrom(
                now, kMonthSteps,
                [&](int k) { return localTime(y, mo + k, f.day, f.hour, f.minute, f.second); },
                anyTime);
        case SchedulePeriod::EveryWeek:
            if (f.weekday == 0) return std::nullopt;
            return firstFrom(
                now, 8, [&](int k) { return localTime(y, mo, d + k, f.hour, f.minute, f.second); },
                [&](std::time_t t) { return localParts(t).tm_wday == f.weekday - 1; });
        case SchedulePeriod::EveryDay:
            return firstFrom(
                now, 2, [&](int k) { return localTime(y, mo, d + k, f.hour, f.minute, f.second); },
                anyTime);
        case SchedulePeriod::EveryHour: {
            const auto first = localTime(y, mo, d, today.tm_hour, f.minute, f.second);
            return firstFrom(
                now, 3, [&](int k) { return first ? std::optional(*first + k * 3600) : first; },
                anyTime);
        }
        case SchedulePeriod::EveryMinute: {
            const auto first = localTime(y, mo, d, today.tm_hour, today.tm_min, f.second);
            return firstFrom(
                now, 3, [&](int k) { return first ? std::optional(*first + k * 60) : first; },
                anyTime);
        }
    }
    return std::nullopt;
}

}  // namespace ks
