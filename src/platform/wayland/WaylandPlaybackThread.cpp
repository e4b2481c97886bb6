#include "platform/wayland/WaylandPlaybackThread.h"

namespace ks::wayland {

InputInjector* WaylandPlaybackThread::injector() {
    if (input_) return &input_->injector();
    auto connection = WaylandConnection::open(socket_);
    if (!connection) return nullptr;
    auto input = WaylandInput::open(**connection);
    if (!input) return nullptr;
    connection_ = std::move(*connection);
    input_ = std::move(*input);
    return &input_->injector();
}

}  // namespace ks::wayland
