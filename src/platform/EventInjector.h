#pragma once

#include <cstdint>

namespace ks {

// Synthesises input as if the user typed and moved the mouse.
class EventInjector {
public:
    EventInjector() = default;
    EventInjector(const EventInjector&) = delete;
    EventInjector& operator=(const EventInjector&) = delete;
    virtual ~EventInjector() = default;

    // Whether input can be synthesised at all (the display and its test
    // extension are there).
    virtual bool available() = 0;
    // A key by its virtual-key code; a code the layout has no key for (0 for
    // a media key) is pressed by its recorded scan code, 0 for none.
    virtual void key(std::uint8_t virtualKey, std::uint8_t scan, bool down) = 0;
    // Moves the pointer to root coordinates; nothing when it is there already.
    virtual void motion(std::int32_t x, std::int32_t y) = 0;
    // Buttons numbered as X numbers them: 1 left, 2 middle, 3 right, 4 and 5
    // one wheel notch away from and toward the user.
    virtual void button(unsigned number, bool down) = 0;
    // Hands everything synthesised so far to the display now.
    virtual void flush() = 0;
};

}  // namespace ks
