#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace ks {

// A single-shot timer made by a Clock. Starting it again replaces the
// earlier start; destroying it stops it.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    virtual ~Timer() = default;

    virtual void start(std::chrono::milliseconds delay) = 0;
    virtual void stop() = 0;
    virtual bool active() const = 0;
};

// Time as the runner, the waiting commands, the scheduler and the player read
// it and wait for it, so that their arithmetic can be tested on a clock the
// test moves.
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
    // A timer on the calling thread's event loop that calls `onTimeout` once
    // its delay has passed on the monotonic clock.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) = 0;

    // The millisecond tick count: the monotonic clock cut to an unsigned
    // 32-bit number that wraps about every 49.7 days, so only differences
    // taken modulo 2^32 mean anything.
    std::uint32_t ticks() { return static_cast<std::uint32_t>(monotonicMillis()); }
};

}  // namespace ks
