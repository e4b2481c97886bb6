#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ks::x11 {
struct RecordConnections;
}  // namespace ks::x11

namespace ks::test {

// One core input event as the X server delivered it, with its time in milliseconds.
struct ObservedEvent {
    int type = 0;         // KeyPress, KeyRelease, ButtonPress, ButtonRelease, MotionNotify
    unsigned detail = 0;  // keycode or button
    int x = 0;            // root coordinates
    int y = 0;
    std::uint32_t time = 0;
};

// Watches every input event of a display through a RECORD context of its own.
class RecordObserver {
public:
    explicit RecordObserver(const std::string& display);
    ~RecordObserver();

    bool started() const { return started_; }
    // Waits until `count` events arrived or `timeoutMs` passed; gives all seen.
    std::vector<ObservedEvent> waitFor(std::size_t count, int timeoutMs);
    void clear();

private:
    void receive(void* intercepted);  // one block of the RECORD callback's

    std::unique_ptr<x11::RecordConnections> x_;
    std::vector<ObservedEvent> events_;
    bool started_ = false;
    bool ended_ = false;
};

// Event type numbers of the core protocol, for tests that do not include Xlib.
inline constexpr int kKeyPress = 2, kKeyRelease = 3, kButtonPress = 4, kButtonRelease = 5,
                     kMotionNotify = 6;

}  // namespace ks::test
