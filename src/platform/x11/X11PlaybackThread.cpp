#include "platform/x11/X11PlaybackThread.h"

namespace ks::x11 {

InputInjector* X11PlaybackThread::injector() {
    if (injection_) return injection_->injector.get();
    auto connection = XConnection::open(display_);
    if (!connection) return nullptr;
    auto injection = std::make_unique<Injection>();
    injection->connection = std::move(*connection);
    injection->keymap = std::make_unique<X11Keymap>(*injection->connection);
    injection->injector =
        std::make_unique<X11InputInjector>(*injection->connection, *injection->keymap);
    injection_ = std::move(injection);
    return injection_->injector.get();
}

}  // namespace ks::x11
