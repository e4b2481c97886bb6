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

// The round trips are taken here, before the first event is due.
void X11PlaybackThread::prepare() {
    injection_->keymap->layout();
    injection_->injector->trackPointer();
}

InputInjector& X11PlaybackThread::begin(InputInjector& injector, ThreadPriority granted) {
    trace_ = PlaybackTrace::fromEnvironment(injection_->connection->display());
    if (!trace_) return injector;
    trace_->begin(granted);
    return traced_.emplace(injector, *trace_);
}

void X11PlaybackThread::woke(std::int64_t deadlineMillis) {
    if (trace_) trace_->woke(deadlineMillis);
}

// A layout change announced meanwhile is read now rather than in the time
// of the next key; the server announces every switch between the user's
// keyboard and XTest's as a new keyboard.
void X11PlaybackThread::nearDeadline() {
    injection_->keymap->cachedLayout();
}

void X11PlaybackThread::end() {
    if (trace_) {
        trace_->write();
        traced_.reset();
        trace_.reset();
    }
    injection_->injector->stopTrackingPointer();
}

}  // namespace ks::x11
