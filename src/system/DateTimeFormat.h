#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>

namespace ks {

// One format a date or time part can be typed in: the strftime conversion
// that produces it and the text the command's editor shows for it.
struct PartFormat {
    const char* conversion;
    const char* description;
};

// A part of a date or time as the editor lists it: its name and formats,
// the position in the format list being the stored format index.
struct PartKind {
    const char* name;
    std::span<const PartFormat> formats;
};

inline constexpr std::size_t kPartCount = 5;

// The parts of SEND DATE (month, day, year, week, time zone) and of SEND
// TIME (hour, minute, second, A.M./P.M., time zone), by part index.
std::span<const PartKind, kPartCount> dateParts();
std::span<const PartKind, kPartCount> timeParts();

// One part of a command's date or time, as stored in the part's sub-key.
struct DateTimePart {
    bool include = false;
    std::int32_t order = 0;
    std::int32_t format = 0;
    std::string prepend;
    std::string append;
};

using DateTimeParts = std::array<DateTimePart, kPartCount>;

// The text SEND DATE / SEND TIME type for `parts` at `when`, in UTC when
// `utc` is set, else in local time. Positions 0 to 4 are filled in turn,
// each by the lowest-indexed part whose order is that position, and only
// when that part is included. Names follow the current LC_TIME locale; the
// text is UTF-8 whatever that locale's encoding.
std::string FormatDateParts(const DateTimeParts& parts, bool utc, std::time_t when);
std::string FormatTimeParts(const DateTimeParts& parts, bool utc, std::time_t when);

}  // namespace ks
