#pragma once

#include <cstdint>
#include <optional>

#include "platform/ScreenSize.h"
#include "platform/WindowControl.h"

namespace ks {

// A pointer position in MOVE MOUSE POINTER's stored units: 0 to 65535
// across the screen.
struct NormalisedPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const NormalisedPoint&) const = default;
};

// The absolute values that move the pointer to the pixel (x, y).
NormalisedPoint absolutePosition(int x, int y, ScreenSize screen);

// The relative values that move the pointer to the pixel (x, y) while
// `window` is the foreground window. The command adds them to the window's
// corner in normalised units, truncated, so they are the pixel's normalised
// position less that corner: the sum lands on the pixel itself. Kept within
// 0 to 65535, the values the command accepts.
NormalisedPoint relativePosition(int x, int y, const ScreenRect& window, ScreenSize screen);

// The topmost window of another program that shows the pixel (x, y);
// nothing over the bare desktop.
std::optional<ScreenRect> windowUnder(WindowControl& windows, int x, int y);

}  // namespace ks
