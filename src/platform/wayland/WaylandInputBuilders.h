#pragma once

#include "platform/wayland/WaylandServices.h"

namespace ks::wayland {

// Plugs typing, keys, the pointer and playback into the platform: the
// keymap's builder opens the program's keyboard and pointer, and the
// injector, spare keys and lock state share them.
void addInputBuilders(WaylandServiceBuilders& builders);

}  // namespace ks::wayland
