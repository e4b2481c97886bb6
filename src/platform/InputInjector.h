#pragma once

#include <cstdint>

namespace ks {

// Key-event flags.
inline constexpr std::uint32_t kKeyExtended = 1;
inline constexpr std::uint32_t kKeyUp = 2;

// Mouse-event flags.
inline constexpr std::uint32_t kMouseMove = 1;
inline constexpr std::uint32_t kMouseLeftDown = 2;
inline constexpr std::uint32_t kMouseLeftUp = 4;
inline constexpr std::uint32_t kMouseRightDown = 8;
inline constexpr std::uint32_t kMouseRightUp = 16;
inline constexpr std::uint32_t kMouseMiddleDown = 32;
inline constexpr std::uint32_t kMouseMiddleUp = 64;
inline constexpr std::uint32_t kMouseAbsolute = 32768;

// Synthetic input into the desktop's input stream, as if the user typed or
// moved the mouse. Events go to whatever window has the focus or lies under
// the pointer; nothing waits for a target to handle them.
class InputInjector {
public:
    InputInjector() = default;
    InputInjector(const InputInjector&) = delete;
    InputInjector& operator=(const InputInjector&) = delete;
    virtual ~InputInjector() = default;

    // One press (flags without kKeyUp) or release of a key. The key is found
    // by its virtual-key code; a code with no key of its own (0, or a key the
    // layout lacks) falls back to the scan code.
    virtual void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;

    // Button transitions and moves. With kMouseAbsolute, x and y are
    // normalised 0..65535 over the screen; otherwise a move is relative, in
    // pixels.
    virtual void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) = 0;
};

}  // namespace ks
