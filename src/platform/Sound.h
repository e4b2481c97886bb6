#pragma once

#include <cstdint>

namespace ks {

// The desktop's bell.
class Sound {
public:
    Sound() = default;
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;
    virtual ~Sound() = default;

    // A tone of `hertz` for `milliseconds`, as far as the bell can give one.
    virtual void beep(int hertz, int milliseconds) = 0;
    // The desktop's alert sound for a message box with this icon type
    // (0x10 stop, 0x20 question, 0x30 exclamation, 0x40 information; any
    // other value the plain alert).
    virtual void alert(std::uint32_t type) = 0;
};

}  // namespace ks
