#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ks::x11 {
struct RecordConnections;
}  // namespace ks::x11

namespace ks::test {

// One device event as the X server delivered it.
struct RecordedEvent {
    int type;          // KeyPress, KeyRelease, ButtonPress, ButtonRelease, MotionNotify
    unsigned detail;   // keycode or button
    int rootX;
    int rootY;
    bool operator==(const RecordedEvent&) const = default;
};

// Watches every device event of a display through the RECORD extension: the
// context is made on one connection and read on a second, as RECORD requires.
class RecordObserver {
public:
    explicit RecordObserver(const std::string& display);
    ~RecordObserver();
    RecordObserver(const RecordObserver&) = delete;
    RecordObserver& operator=(const RecordObserver&) = delete;

    // Waits until `count` events arrived (or the time is up) and returns all so far.
    std::vector<RecordedEvent> waitFor(std::size_t count,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(3));
    void clear() { events_.clear(); }

private:
    std::unique_ptr<x11::RecordConnections> x_;
    std::vector<RecordedEvent> events_;
};

}  // namespace ks::test
