#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "triggers/ScheduleRules.h"

namespace ks::test {

// Local time is read in `zone` while this lives.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_) {
            setenv("TZ", old_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

// "2026-03-28 10:00:00" in the local zone, or in UTC when it ends in " UTC"
// (for an hour the local clock shows twice).
inline std::time_t localAt(const char* text) {
    std::tm parts{};
    std::sscanf(text, "%d-%d-%d %d:%d:%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                &parts.tm_hour, &parts.tm_min, &parts.tm_sec);
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    return std::string(text).ends_with(" UTC") ? timegm(&parts) : std::mktime(&parts);
}

// "2026-03-29 09:00:00 CEST".
inline std::string localText(std::time_t when) {
    std::tm parts{};
    localtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &parts);
    return text;
}

// A schedule from its period and the seven field texts.
inline Schedule schedule(std::uint32_t period, const char* year, const char* month, const char* day,
                         const char* weekday, const char* hour, const char* minute,
                         const char* second) {
    return Schedule{period, {year, month, day, weekday, hour, minute, second}};
}

}  // namespace ks::test
