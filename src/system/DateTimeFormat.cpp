#include "system/DateTimeFormat.h"

#include <cwchar>
#include <optional>
#include <string_view>

#include "core/Utf8.h"

namespace ks {

namespace {

// glibc's `-` flag drops the leading zeros.
constexpr PartFormat kMonth[] = {
    {"%m", "Month as decimal number (01 - 12)"},
    {"%-m", "Month as decimal number (01 - 12), no leading zeros"},
    {"%b", "Abbreviated month name(Jan)"},
    {"%B", "Full month name(January)"},
};
constexpr PartFormat kDay[] = {
    {"%d", "Day of month as decimal number (01 - 31)"},
    {"%-d", "Day of month as decimal number (01 - 31), no leading zeros"},
    {"%a", "Abbreviated weekday name(Wed)"},
    {"%A", "Full weekday name(Wednesday)"},
    {"%w", "Weekday as decimal number (0 - 6; Sunday is 0)"},
    {"%j", "Day of year as decimal number (001 - 366)"},
    {"%-j", "Day of year as decimal number (001 - 366), no leading zeros"},
};
constexpr PartFormat kYear[] = {
    {"%y", "Year without century, as decimal number (00 - 99)"},
    {"%-y", "Year without century, as decimal number (00 - 99), no leading zeros"},
    {"%Y", "Year with century, as decimal number(2000)"},
    {"%-Y", "Year with century, as decimal number(2000), no leading zeros"},
};
constexpr PartFormat kWeek[] = {
    {"%U", "Week of year as decimal number, with Sunday as first day of week (00 - 53)"},
    {"%-U",
     "Week of year as decimal number, with Sunday as first day of week (00 - 53), no leading "
     "zeros"},
    {"%W", "Week of year as decimal number, with Monday as first day of week (00 - 53)"},
    {"%-W",
     "Week of year as decimal number, with Monday as first day of week (00 - 53), no leading "
     "zeros"},
};
constexpr PartFormat kTimeZone[] = {
    {"%Z", "Time-zone name or abbreviation; no characters if time zone is unknown"},
};
constexpr PartFormat kHour[] = {
    {"%I", "Hour in 12-hour format (01 - 12)"},
    {"%-I", "Hour in 12-hour format (01 - 12), no leading zeros"},
    {"%H", "Hour in 24-hour format (00 - 23)"},
    {"%-H", "Hour in 24-hour format (00 - 23), no leading zeros"},
};
constexpr PartFormat kMinute[] = {
    {"%M", "Minute as decimal number (00 - 59)"},
    {"%-M", "Minute as decimal number (00 - 59), no leading zeros"},
};
constexpr PartFormat kSecond[] = {
    {"%S", "Second as decimal number (00 - 59)"},
    {"%-S", "Second as decimal number (00 - 59), no leading zeros"},
};
constexpr PartFormat kMeridiem[] = {
    {"%p", "Current locale\u2019s A.M./P.M. indicator for 12-hour clock"},
};

constexpr PartKind kDateParts[kPartCount] = {
    {"Month", kMonth}, {"Day", kDay}, {"Year", kYear}, {"Week", kWeek}, {"Time Zone", kTimeZone},
};
constexpr PartKind kTimeParts[kPartCount] = {
    {"Hour", kHour},          {"Minute", kMinute},      {"Second", kSecond},
    {"A.M./P.M.", kMeridiem}, {"Time Zone", kTimeZone},
};

std::optional<std::tm> brokenDown(std::time_t when, bool utc) {
    std::tm fields{};
    if ((utc ? gmtime_r(&when, &fields) : localtime_r(&when, &fields)) == nullptr) {
        return std::nullopt;
    }
    return fields;
}

// Through the wide-character strftime, so that names come out as UTF-8
// whatever the encoding of the LC_TIME locale.
std::string formatField(std::string_view conversion, const std::tm& fields) {
    const std::wstring wideConversion(conversion.begin(), conversion.end());
    wchar_t buffer[128];
    const std::size_t length =
        std::wcsftime(buffer, std::size(buffer), wideConversion.c_str(), &fields);
    std::string text;
    for (std::size_t i = 0; i < length; ++i) utf8::append(text, static_cast<char32_t>(buffer[i]));
    return text;
}

std::string assemble(std::span<const PartKind, kPartCount> kinds, const DateTimeParts& parts,
                     bool utc, std::time_t when) {
    const std::optional<std::tm> fields = brokenDown(when, utc);
    std::string text;
    for (std::int32_t position = 0; position < static_cast<std::int32_t>(kPartCount); ++position) {
        std::size_t index = 0;
        while (index < kPartCount && parts[index].order != position) ++index;
        if (index == kPartCount || !parts[index].include) continue;
        const DateTimePart& part = parts[index];
        const std::span<const PartFormat> formats = kinds[index].formats;
        text += part.prepend;
        if (fields && part.format >= 0 && static_cast<std::size_t>(part.format) < formats.size()) {
            text += formatField(formats[static_cast<std::size_t>(part.format)].conversion, *fields);
        }
        text += part.append;
    }
    return text;
}

}  // namespace

std::span<const PartKind, kPartCount> dateParts() {
    return kDateParts;
}

std::span<const PartKind, kPartCount> timeParts() {
    return kTimeParts;
}

std::string FormatDateParts(const DateTimeParts& parts, bool utc, std::time_t when) {
    return assemble(dateParts(), parts, utc, when);
}

std::string FormatTimeParts(const DateTimeParts& parts, bool utc, std::time_t when) {
    return assemble(timeParts(), parts, utc, when);
}

}  // namespace ks
