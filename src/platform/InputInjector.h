#pragma once

#include <cstdint>
#include <functional>

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
// the pointer; nothing waits for a target to handle them. Keys are found by
// their virtual-key code; a code with no key of its own (0 for a media key,
// or a key the layout lacks) falls back to the scan code, 0 for none.
class InputInjector {
public:
    InputInjector() = default;
    InputInjector(const InputInjector&) = delete;
    InputInjector& operator=(const InputInjector&) = delete;
    virtual ~InputInjector() = default;

    // Told each key's scan code and direction just before the key is
    // synthesised, on the thread that synthesises it: a watch of the
    // desktop's keys learns this way which of them the program typed.
    using KeyAnnouncer = std::function<void(std::uint8_t scan, bool down)>;
    virtual void setKeyAnnouncer(KeyAnnouncer announcer) { announcer_ = std::move(announcer); }
    const KeyAnnouncer& keyAnnouncer() const { return announcer_; }

    // Whether input can be synthesised at all.
    virtual bool available() = 0;

    // The commands' form, each event sent at once. One press (flags without
    // kKeyUp) or release of a key, by the layout as last seen.
    virtual void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
    // Button transitions and moves. With kMouseAbsolute, x and y are
    // normalised 0..65535 over the screen; otherwise a move is relative, in
    // pixels.
    virtual void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) = 0;

    // The player's form, held until flush(). A key by the layout as last seen.
    virtual void key(std::uint8_t vk, std::uint8_t scan, bool down) = 0;
    // Moves the pointer to root coordinates; nothing when it is there already.
    virtual void motion(std::int32_t x, std::int32_t y) = 0;
    // Buttons numbered as X numbers them: 1 left, 2 middle, 3 right, 4 and 5
    // one wheel notch away from and toward the user.
    virtual void button(unsigned number, bool down) = 0;
    // Hands everything synthesised so far to the display now.
    virtual void flush() = 0;

protected:
    void announce(std::uint8_t scan, bool down) const {
        if (announcer_) announcer_(scan, down);
    }

private:
    KeyAnnouncer announcer_;
};

}  // namespace ks
