#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace ks {

// One keyboard or pointer event as the display reported it, before any
// program saw it.
struct CapturedInput {
    enum class Kind : std::uint8_t { KeyPress, KeyRelease, ButtonPress, ButtonRelease, Motion };

    // Modifier bits of `modifiers`: the state just before the event.
    static constexpr std::uint32_t kShift = 1u << 0;
    static constexpr std::uint32_t kControl = 1u << 2;
    static constexpr std::uint32_t kAlt = 1u << 3;  // the Alt keys' modifier, not AltGr
    static constexpr std::uint32_t kNumLock = 1u << 4;

    Kind kind = Kind::Motion;
    std::uint32_t detail = 0;  // key code, or button number (1 left, 2 middle, 3 right, 4/5 wheel)
    std::uint32_t modifiers = 0;  // kShift | kControl | kAlt | kNumLock
    // The pointer's position on the screen, or where the capture does not
    // see the screen (absolutePositions()), the distance it moved since the
    // capture started.
    std::int32_t rootX = 0;
    std::int32_t rootY = 0;
    std::uint32_t time = 0;  // the display's millisecond timestamp
    std::uint64_t window =
        0;  // the window the event went to: focus for keys, under the pointer otherwise
};

// Sees every keyboard and pointer event of the desktop, whichever program
// it goes to, and hands them over in order on the GUI thread.
class InputCapture {
public:
    // A block of events in the order they happened. The handler may call
    // stop(); no further event of the block is delivered then.
    using EventsHandler = std::function<void(const CapturedInput* events, std::size_t count)>;
    // The display ended the capture (its connection was lost). Called once,
    // on the GUI thread, after which the capture is stopped.
    using LostHandler = std::function<void()>;

    InputCapture() = default;
    InputCapture(const InputCapture&) = delete;
    InputCapture& operator=(const InputCapture&) = delete;
    virtual ~InputCapture() = default;

    // Starts delivering events that happen from now on. False when the
    // desktop's input cannot be captured.
    virtual bool start(EventsHandler onEvents, LostHandler onLost) = 0;
    // Ends the capture; events not yet delivered are dropped. Harmless when
    // not capturing.
    virtual void stop() = 0;
    // False where only the pointer's movements can be seen (the kernel's
    // devices on Wayland), not where it is on the screen.
    virtual bool absolutePositions() const { return true; }
};

}  // namespace ks
