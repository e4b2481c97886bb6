#include "platform/wayland/WaylandServices.h"

#include "platform/wayland/WaylandInputBuilders.h"

namespace ks::wayland {

// A part plugs in here: it sets its member of `builders` to a function that
// opens its service from the BuildContext, or says why it cannot.
WaylandServiceBuilders waylandServiceBuilders() {
    WaylandServiceBuilders builders;
    addInputBuilders(builders);
    return builders;
}

}  // namespace ks::wayland
