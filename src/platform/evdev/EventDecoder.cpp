#include "platform/evdev/EventDecoder.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace ks::evdev {
namespace {

// The pointer's buttons as X numbers them; the wheel's 4 to 7 lie between.
std::optional<std::uint16_t> buttonNumber(std::uint16_t code) {
    switch (code) {
        case BTN_LEFT: return 1;
        case BTN_MIDDLE: return 2;
        case BTN_RIGHT: return 3;
        case BTN_SIDE: return 8;
        case BTN_EXTRA: return 9;
        default: return std::nullopt;
    }
}

bool isKeyboardKey(std::uint16_t code) {
    return code < BTN_MISC || (code >= KEY_OK && code < BTN_DPAD_UP);
}

std::uint32_t millisecondsOf(const input_event& event) {
    const auto ms = static_cast<std::uint64_t>(event.input_event_sec) * 1000u +
                    static_cast<std::uint64_t>(event.input_event_usec) / 1000u;
    return static_cast<std::uint32_t>(ms);
}

// The keys the device holds now; none where it cannot tell (a pipe).
EventDecoder::Keys keysDown(int fd) {
    std::array<unsigned char, (KEY_CNT + 7) / 8> bits{};
    EventDecoder::Keys down;
    if (ioctl(fd, EVIOCGKEY(bits.size()), bits.data()) < 0) return down;
    for (std::size_t code = 0; code < KEY_CNT; ++code) {
        if (bits[code / 8] & (1u << (code % 8))) down.set(code);
    }
    return down;
}

}  // namespace

void EventDecoder::feed(const input_event& event, std::vector<DeviceEvent>& out) {
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            frame_.clear();
            dx_ = dy_ = 0;
            dropping_ = true;
        } else if (event.code == SYN_REPORT) {
            if (!dropping_) endFrame(out);
            dropEnded_ = dropping_;
            dropping_ = false;
        }
        return;
    }
    if (dropping_) return;
    frameTime_ = millisecondsOf(event);
    if (event.type == EV_KEY) feedKey(event);
    if (event.type == EV_REL) feedRelative(event);
}

void EventDecoder::feedKey(const input_event& event) {
    if (event.value == 2) return;  // the kernel's repeat of a held key
    const bool pressed = event.value != 0;
    if (const auto button = buttonNumber(event.code)) {
        frame_.push_back({DeviceEvent::Kind::Button, pressed, *button, 0, 0, frameTime_});
    } else if (isKeyboardKey(event.code)) {
        frame_.push_back({DeviceEvent::Kind::Key, pressed, event.code, 0, 0, frameTime_});
    }
}

void EventDecoder::feedRelative(const input_event& event) {
    switch (event.code) {
        case REL_X: dx_ += event.value; break;
        case REL_Y: dy_ += event.value; break;
        case REL_WHEEL:
            frame_.push_back({DeviceEvent::Kind::Wheel, false, 0, 0, event.value, frameTime_});
            break;
        default: break;
    }
}

void EventDecoder::endFrame(std::vector<DeviceEvent>& out) {
    // The move comes first: a click reported with it happens where it ends.
    if (dx_ != 0 || dy_ != 0) {
        out.push_back({DeviceEvent::Kind::Motion, false, 0, dx_, dy_, frameTime_});
    }
    for (const DeviceEvent& event : frame_) {
        if (event.kind == DeviceEvent::Kind::Key) held_.set(event.code, event.pressed);
    }
    out.insert(out.end(), frame_.begin(), frame_.end());
    frame_.clear();
    dx_ = dy_ = 0;
}

void EventDecoder::releaseKeysUp(const Keys& down, std::vector<DeviceEvent>& out) {
    const Keys released = held_ & ~down;
    for (std::size_t code = 0; released.any() && code < KEY_CNT; ++code) {
        if (!released.test(code)) continue;
        out.push_back(
            {DeviceEvent::Kind::Key, false, static_cast<std::uint16_t>(code), 0, 0, frameTime_});
    }
    held_ &= down;
}

DeviceReader::Status DeviceReader::read(int fd, std::vector<DeviceEvent>& out) {
    std::array<unsigned char, 64 * sizeof(input_event)> buffer;
    for (;;) {
        std::memcpy(buffer.data(), partial_.data(), partialSize_);
        const std::size_t room = buffer.size() - partialSize_;
        const ssize_t got = ::read(fd, buffer.data() + partialSize_, room);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return Status::Open;
        if (got <= 0) {
            releaseAll(out);
            return Status::Gone;
        }
        const std::size_t total = partialSize_ + static_cast<std::size_t>(got);
        std::size_t at = 0;
        for (; total - at >= sizeof(input_event); at += sizeof(input_event)) {
            input_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            decoder_.feed(event, out);
            if (decoder_.takeDropEnd()) decoder_.releaseKeysUp(keysDown(fd), out);
        }
        partialSize_ = total - at;
        std::memcpy(partial_.data(), buffer.data() + at, partialSize_);
        // A read that did not fill the buffer took all there was: asking
        // again would cost a call per key for nothing.
        if (static_cast<std::size_t>(got) < room) return Status::Open;
    }
}

}  // namespace ks::evdev
