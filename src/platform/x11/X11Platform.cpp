#include "platform/x11/X11Platform.h"

namespace ks::x11 {

X11Platform::X11Platform(std::unique_ptr<XConnection> connection)
    : connection_(std::move(connection)),
      keymap_(*connection_),
      injector_(*connection_, keymap_),
      spareKeys_(*connection_),
      keyboard_(*connection_),
      windows_(*connection_) {}

Expected<std::unique_ptr<X11Platform>> X11Platform::open(const std::string& display) {
    auto connection = XConnection::open(display);
    if (!connection) return connection.status();
    return std::unique_ptr<X11Platform>(new X11Platform(std::move(*connection)));
}

}  // namespace ks::x11
