#pragma once

#include <time.h>

#include <cstdint>

namespace ks::wayland {

// The time an input request carries: milliseconds of the monotonic clock,
// which is what compositors stamp their own input events with.
inline std::uint32_t eventMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

}  // namespace ks::wayland
