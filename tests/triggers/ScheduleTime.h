#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "triggers/ScheduleRules.h"

namespace ks::test {

inline void useZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

// "2026-03-28 10:00:00" in the local zone, or in UTC when it ends in " UTC"
// (for an hour the local clock shows twice).
inline std::time_t localAt(const std::string& text) {
    std::tm t{};
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                &t.tm_min, &t.tm_sec);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_isdst = -1;
    return text.ends_with(" UTC") ? timegm(&t) : std::mktime(&t);
}

// "2026-03-29 09:00:00 CEST".
inline std::string localText(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &t);
    return text;
}

// A schedule of `period` with its fields in stored order; "-" stands for "N/A".
inline Schedule schedule(std::uint32_t period, std::array<const char*, 7> fields) {
    Schedule s{period, {}};
    for (std::size_t f = 0; f < fields.size(); ++f)
        s.fields[f] = std::string(fields[f]) == "-" ? kNotApplicable : fields[f];
    return s;
}

}  // namespace ks::test
