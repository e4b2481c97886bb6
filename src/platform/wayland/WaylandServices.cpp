#include "platform/wayland/WaylandServices.h"

namespace ks::wayland {

// A part plugs in here, e.g.
//   builders.injector = [](BuildContext& context) -> Expected<std::unique_ptr<InputInjector>> {
//       return VirtualKeyboardInjector::open(context);
//   };
WaylandServiceBuilders waylandServiceBuilders() {
    WaylandServiceBuilders builders;
    return builders;
}

}  // namespace ks::wayland
