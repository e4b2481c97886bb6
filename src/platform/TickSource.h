#pragma once

#include <cstdint>

namespace ks {

// The millisecond tick count: an unsigned 32-bit number that wraps around
// about every 49.7 days, so only differences taken modulo 2^32 mean anything.
class TickSource {
public:
    TickSource() = default;
    TickSource(const TickSource&) = delete;
    TickSource& operator=(const TickSource&) = delete;
    virtual ~TickSource() = default;

    virtual std::uint32_t ticks() = 0;
};

// Milliseconds of the monotonic clock, which the X server stamps its input
// events with too, so ticks and event times can be compared.
class MonotonicTickSource final : public TickSource {
public:
    std::uint32_t ticks() override;
};

}  // namespace ks
