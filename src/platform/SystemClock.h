#pragma once

#include <cstdint>

#include "core/Result.h"

namespace ks {

// The machine's own wall clock, as SET CLOCK changes it. Setting it needs
// the right to change the system time (on Linux, CAP_SYS_TIME).
class SystemClock {
public:
    SystemClock() = default;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;
    virtual ~SystemClock() = default;

    // Sets the clock to the whole second `secondsSince1970` (UTC); fails
    // with the system's reason when the process may not.
    virtual Result setUtc(std::int64_t secondsSince1970) = 0;
};

}  // namespace ks
