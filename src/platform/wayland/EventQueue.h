#pragma once

#include <chrono>

#include "core/Result.h"
#include "platform/wayland/WaylandConnection.h"

struct wl_display;
struct wl_event_queue;

namespace ks::wayland {

// An event queue of one service on a display connection: its objects' events
// are read and handled when the service asks, on the thread that asks, never
// by whoever else reads the connection.
class EventQueue {
public:
    explicit EventQueue(wl_display* display);
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    wl_event_queue* get() const { return queue_; }
    wl_display* display() const { return display_; }

    // Handles the events that have come so far, without waiting.
    Result pump();
    // Sends everything and handles events until the compositor has answered.
    Result roundtrip();
    // flushDisplay() on the queue's display.
    Result flush(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    Result connectionError() const;

    wl_display* display_;
    wl_event_queue* queue_;
};

}  // namespace ks::wayland
