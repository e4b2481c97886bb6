#include "platform/wayland/EventQueue.h"

#include <poll.h>
#include <wayland-client-core.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace ks::wayland {

EventQueue::EventQueue(wl_display* display)
    : display_(display), queue_(wl_display_create_queue(display)) {}

EventQueue::~EventQueue() {
    wl_event_queue_destroy(queue_);
}

Result EventQueue::connectionError() const {
    const int error = wl_display_get_error(display_);
    return Result::failure(std::string("the Wayland connection failed: ") +
                           std::strerror(error != 0 ? error : errno));
}

Result EventQueue::pump() {
    while (wl_display_prepare_read_queue(display_, queue_) != 0) {
        if (wl_display_dispatch_queue_pending(display_, queue_) < 0) return connectionError();
    }
    if (Result sent = flush(); !sent) {
        wl_display_cancel_read(display_);
        return sent;
    }
    pollfd readable{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&readable, 1, 0) > 0 && (readable.revents & POLLIN) != 0) {
        if (wl_display_read_events(display_) < 0) return connectionError();
    } else {
        wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_queue_pending(display_, queue_) < 0) return connectionError();
    return Result::success();
}

Result EventQueue::roundtrip() {
    if (Result sent = flush(); !sent) return sent;
    if (wl_display_roundtrip_queue(display_, queue_) < 0) return connectionError();
    return Result::success();
}

Result EventQueue::flush(std::chrono::milliseconds limit) {
    switch (flushDisplay(display_, limit)) {
        case Flushed::All: return Result::success();
        case Flushed::ConnectionFailed: return connectionError();
        case Flushed::StaysFull: break;
    }
    return Result::failure(kCompositorTakesNoMore);
}

}  // namespace ks::wayland
