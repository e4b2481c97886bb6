#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace ks {

// The keymap the display server gives the seat's keyboard, in xkb's text
// format, for code that reads keys below the display server (the kernel's
// input devices) and must turn them into what the user's layout types.
// Read from any thread.
class SeatKeymap {
public:
    SeatKeymap() = default;
    SeatKeymap(const SeatKeymap&) = delete;
    SeatKeymap& operator=(const SeatKeymap&) = delete;
    virtual ~SeatKeymap() = default;

    // Empty while the display server has not told it.
    virtual std::string text() const = 0;
    // Grows at each change of the text, so a reader knows when to read it again.
    virtual std::uint64_t serial() const = 0;
};

// The seat's keymap as the display backend last received it.
class SharedSeatKeymap final : public SeatKeymap {
public:
    void set(std::string text) {
        const std::lock_guard lock(mutex_);
        text_ = std::move(text);
        ++serial_;
    }
    std::string text() const override {
        const std::lock_guard lock(mutex_);
        return text_;
    }
    std::uint64_t serial() const override {
        const std::lock_guard lock(mutex_);
        return serial_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
    std::uint64_t serial_ = 0;
};

}  // namespace ks
