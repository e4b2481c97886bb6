#pragma once

#include "platform/Clock.h"

namespace ks {

// The system's clocks, with precise Qt timers. The monotonic clock is the
// one the X server stamps its input events with, so ticks and event times
// can be compared.
class QtClock final : public Clock {
public:
    std::int64_t wallMillis() override;
    std::int64_t monotonicMillis() override;
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;
};

}  // namespace ks
