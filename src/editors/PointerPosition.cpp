#include "editors/PointerPosition.h"

#include <algorithm>

#include "keys/KeyboardMouseCommands.h"

namespace ks {

NormalisedPoint absolutePosition(int x, int y, ScreenSize screen) {
    return {normalisedCoordinate(x, screen.width), normalisedCoordinate(y, screen.height)};
}

NormalisedPoint relativePosition(int x, int y, const ScreenRect& window, ScreenSize screen) {
    const NormalisedPoint pixel = absolutePosition(x, y, screen);
    const NormalisedPoint corner = absolutePosition(window.left, window.top, screen);
    const auto offset = [](std::int32_t at, std::int32_t from) {
        return std::clamp<std::int32_t>(at - from, 0, 65535);
    };
    return {offset(pixel.x, corner.x), offset(pixel.y, corner.y)};
}

std::optional<ScreenRect> windowUnder(WindowControl& windows, int x, int y) {
    for (const TopLevelWindow& window : windows.topLevelWindows()) {
        if (windows.isOwnWindow(window.id) || windows.isDesktop(window.id)) continue;
        const auto placement = windows.placement(window.id);
        if (placement && (placement->state == WindowState::Minimized ||
                          placement->state == WindowState::Hidden)) {
            continue;
        }
        const auto rect = windows.rect(window.id);
        if (rect && x >= rect->left && x < rect->right && y >= rect->top && y < rect->bottom) {
            return rect;
        }
    }
    return std::nullopt;
}

}  // namespace ks
