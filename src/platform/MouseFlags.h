#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/InputInjector.h"

namespace ks {

// Normalised 0..65535 to the nearest pixel of a screen `extent` pixels wide
// (so that a window corner converted to normalised units and back lands on
// itself), clamped to the screen as the pointer itself is.
inline int pixelOf(std::int32_t normalised, int extent) {
    const long long pixel = (static_cast<long long>(normalised) * extent + 32768) / 65536;
    return static_cast<int>(std::clamp<long long>(pixel, 0, extent - 1));
}

// The button transitions a mouse event's flags ask for, in the order of the flags.
inline void fakeButtons(InputInjector& injector, std::uint32_t flags) {
    struct ButtonFlag {
        std::uint32_t flag;
        unsigned button;
        bool press;
    };
    constexpr ButtonFlag kButtons[] = {
        {kMouseLeftDown, 1, true}, {kMouseLeftUp, 1, false},    {kMouseRightDown, 3, true},
        {kMouseRightUp, 3, false}, {kMouseMiddleDown, 2, true}, {kMouseMiddleUp, 2, false},
    };
    for (const ButtonFlag& b : kButtons) {
        if (flags & b.flag) injector.button(b.button, b.press);
    }
}

}  // namespace ks
