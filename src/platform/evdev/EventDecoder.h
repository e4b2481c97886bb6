#pragma once

#include <linux/input.h>

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace ks::evdev {

// One thing an input device reported: a key or button going down or up,
// the pointer moving by a distance, or the wheel turning.
struct DeviceEvent {
    enum class Kind : std::uint8_t { Key, Button, Motion, Wheel };

    Kind kind = Kind::Key;
    bool pressed = false;
    // Key: the kernel's key code (the X keycode less 8). Button: numbered as
    // X numbers them (1 left, 2 middle, 3 right, 8 back, 9 forward).
    std::uint16_t code = 0;
    // Motion: the distance moved, in the device's counts. Wheel: notches in
    // dy, positive away from the user.
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    // Milliseconds on the device's clock (monotonic once the device is told).
    std::uint32_t timeMs = 0;

    friend bool operator==(const DeviceEvent&, const DeviceEvent&) = default;
};

// Turns a device's `input_event`s into DeviceEvents, a frame (the events up
// to a SYN_REPORT, which happened together) at a time: the two axes of a
// move become one motion. A key the kernel repeats while it is held is one
// press, as the display server sees it. When the kernel dropped events
// (SYN_DROPPED), the frame under way and the rest of it up to the next
// report are dropped, as they cannot be trusted; the keys released
// meanwhile are then released by releaseKeysUp().
class EventDecoder {
public:
    using Keys = std::bitset<KEY_CNT>;

    void feed(const input_event& event, std::vector<DeviceEvent>& out);
    // True once after a report that ended dropped events.
    bool takeDropEnd() { return std::exchange(dropEnded_, false); }
    // Releases the keys held that are not in `down`: a held modifier whose
    // release was lost would change every key typed after it.
    void releaseKeysUp(const Keys& down, std::vector<DeviceEvent>& out);

private:
    void feedKey(const input_event& event);
    void feedRelative(const input_event& event);
    void endFrame(std::vector<DeviceEvent>& out);

    std::vector<DeviceEvent> frame_;
    std::int32_t dx_ = 0;
    std::int32_t dy_ = 0;
    std::uint32_t frameTime_ = 0;
    bool dropping_ = false;
    bool dropEnded_ = false;
    Keys held_;
};

// Reads and decodes a device's events as they become readable: whole
// `input_event`s however the reads split them.
class DeviceReader {
public:
    enum class Status : std::uint8_t { Open, Gone };

    // Decodes everything `fd` (non-blocking) has now into `out`. Gone when
    // the device went away or its writer closed it; the keys it held are
    // released then.
    Status read(int fd, std::vector<DeviceEvent>& out);
    // The device is closed: the keys it held are released.
    void releaseAll(std::vector<DeviceEvent>& out) { decoder_.releaseKeysUp({}, out); }

private:
    EventDecoder decoder_;
    std::array<unsigned char, sizeof(input_event)> partial_{};
    std::size_t partialSize_ = 0;
};

}  // namespace ks::evdev
