#pragma once

#include "platform/SystemClock.h"

namespace ks {

// The kernel's real-time clock, set with clock_settime.
class LinuxSystemClock final : public SystemClock {
public:
    Result setUtc(std::int64_t secondsSince1970) override;
};

}  // namespace ks
