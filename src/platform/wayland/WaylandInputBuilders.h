#pragma once

#include <memory>

#include "platform/SeatKeymap.h"
#include "platform/wayland/WaylandServices.h"

namespace ks::wayland {

// Plugs typing, keys, the pointer and playback into the platform: the
// keymap's builder opens the program's keyboard and pointer, and the
// injector, spare keys and lock state share them. The keyboard puts the
// seat's layout it follows in `seatLayout`.
void addInputBuilders(WaylandServiceBuilders& builders,
                      std::shared_ptr<SharedSeatKeymap> seatLayout);

}  // namespace ks::wayland
