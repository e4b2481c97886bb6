#include "platform/Clock.h"

#include <chrono>

namespace ks {

namespace {

template <typename ClockType>
std::int64_t millisOf() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               ClockType::now().time_since_epoch())
        .count();
}

}  // namespace

std::int64_t SystemClock::wallMillis() { return millisOf<std::chrono::system_clock>(); }

std::int64_t SystemClock::monotonicMillis() { return millisOf<std::chrono::steady_clock>(); }

}  // namespace ks
