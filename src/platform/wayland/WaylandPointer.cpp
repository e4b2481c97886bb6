#include "platform/wayland/WaylandPointer.h"
#include "platform/wayland/EventTime.h"

#include <linux/input-event-codes.h>
#include <wayland-client-protocol.h>

#include <algorithm>
#include <optional>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace ks::wayland {
namespace {

// A wheel notch scrolls as far as one of libinput's (15 degrees), so that
// programs scroll by it as by a real wheel's.
constexpr int kNotchDistance = 15;

struct Notch {
    wl_pointer_axis axis;
    int direction;
};

std::optional<Notch> notchOf(unsigned number) {
    switch (number) {
        case 4: return Notch{WL_POINTER_AXIS_VERTICAL_SCROLL, -1};
        case 5: return Notch{WL_POINTER_AXIS_VERTICAL_SCROLL, 1};
        case 6: return Notch{WL_POINTER_AXIS_HORIZONTAL_SCROLL, -1};
        case 7: return Notch{WL_POINTER_AXIS_HORIZONTAL_SCROLL, 1};
    }
    return std::nullopt;
}

std::uint32_t buttonCode(unsigned number) {
    switch (number) {
        case 1: return BTN_LEFT;
        case 2: return BTN_MIDDLE;
        case 3: return BTN_RIGHT;
        case 8: return BTN_SIDE;
        case 9: return BTN_EXTRA;
    }
    return 0;
}

}  // namespace

WaylandPointer::WaylandPointer(wl_display* display, zwlr_virtual_pointer_v1* pointer)
    : queue_(display), outputs_(display), pointer_(pointer) {}

WaylandPointer::~WaylandPointer() {
    zwlr_virtual_pointer_v1_destroy(pointer_);
    queue_.flush();
}

Expected<std::unique_ptr<WaylandPointer>> WaylandPointer::create(
    wl_display* display, wl_seat* seat, zwlr_virtual_pointer_manager_v1* manager) {
    std::unique_ptr<WaylandPointer> made(new WaylandPointer(
        display, zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat)));
    if (Result started = made->outputs_.start(); !started) return started;
    return made;
}

void WaylandPointer::moveTo(std::int32_t x, std::int32_t y) {
    const LayoutBox box = layout();
    if (box.width <= 0 || box.height <= 0) return;
    const auto across = static_cast<std::uint32_t>(std::clamp(x - box.x, 0, box.width - 1));
    const auto down = static_cast<std::uint32_t>(std::clamp(y - box.y, 0, box.height - 1));
    zwlr_virtual_pointer_v1_motion_absolute(pointer_, eventMilliseconds(), across, down,
                                            static_cast<std::uint32_t>(box.width),
                                            static_cast<std::uint32_t>(box.height));
    zwlr_virtual_pointer_v1_frame(pointer_);
}

void WaylandPointer::moveBy(std::int32_t dx, std::int32_t dy) {
    zwlr_virtual_pointer_v1_motion(pointer_, eventMilliseconds(), wl_fixed_from_int(dx),
                                   wl_fixed_from_int(dy));
    zwlr_virtual_pointer_v1_frame(pointer_);
}

void WaylandPointer::button(unsigned number, bool down) {
    if (const auto notch = notchOf(number)) {
        if (!down) return;
        zwlr_virtual_pointer_v1_axis_source(pointer_, WL_POINTER_AXIS_SOURCE_WHEEL);
        zwlr_virtual_pointer_v1_axis_discrete(pointer_, eventMilliseconds(), notch->axis,
                                              wl_fixed_from_int(kNotchDistance * notch->direction),
                                              notch->direction);
        zwlr_virtual_pointer_v1_frame(pointer_);
        return;
    }
    const std::uint32_t code = buttonCode(number);
    if (code == 0) return;
    zwlr_virtual_pointer_v1_button(
        pointer_, eventMilliseconds(), code,
        down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer_);
}

}  // namespace ks::wayland
