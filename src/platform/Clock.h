#pragma once

#include <cstdint>

namespace ks {

// Time as the runner, the waiting commands, the scheduler and the player read
// it, so that their arithmetic can be tested with a clock the test controls.
class Clock {
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    // Milliseconds since the epoch (seconds × 1000 + milliseconds); jumps when
    // the system clock is set.
    virtual std::int64_t wallMillis() = 0;
    // Milliseconds from an arbitrary origin; never jumps, so differences of
    // two readings are true elapsed times.
    virtual std::int64_t monotonicMillis() = 0;
};

// The system's clocks.
class SystemClock final : public Clock {
public:
    std::int64_t wallMillis() override;
    std::int64_t monotonicMillis() override;
};

}  // namespace ks
