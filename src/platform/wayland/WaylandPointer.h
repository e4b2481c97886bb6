#pragma once

#include <cstdint>
#include <memory>

#include "core/Result.h"
#include "platform/wayland/EventQueue.h"
#include "platform/wayland/OutputLayout.h"

struct wl_seat;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace ks::wayland {

// The program's virtual pointer. Absolute moves are fractions of the box
// around all outputs, the area the compositor spreads them over: with that
// box's size as the extent, a place in layout pixels lands on that pixel.
class WaylandPointer {
public:
    static Expected<std::unique_ptr<WaylandPointer>> create(
        wl_display* display, wl_seat* seat, zwlr_virtual_pointer_manager_v1* manager);
    ~WaylandPointer();
    WaylandPointer(const WaylandPointer&) = delete;
    WaylandPointer& operator=(const WaylandPointer&) = delete;

    // The box around the outputs as last announced.
    LayoutBox layout() { return outputs_.box(); }
    // To a place of the layout, clamped into the box.
    void moveTo(std::int32_t x, std::int32_t y);
    void moveBy(std::int32_t dx, std::int32_t dy);
    // Buttons numbered as X numbers them: 1 left, 2 middle, 3 right, 4 to 7
    // one wheel notch up, down, left and right (on the press; a notch's
    // release does nothing), 8 and 9 back and forward.
    void button(unsigned number, bool down);
    Result flush() { return queue_.flush(); }

private:
    WaylandPointer(wl_display* display, zwlr_virtual_pointer_v1* pointer);

    EventQueue queue_;
    OutputLayout outputs_;
    zwlr_virtual_pointer_v1* pointer_;
};

}  // namespace ks::wayland
