#pragma once

#include <cstdint>
#include <functional>

#include "platform/KeyLayout.h"

namespace ks {

// The modifier state a key was pressed in.
struct KeyModifiers {
    bool shift = false;
    bool capsLock = false;
    bool altGr = false;
    bool numLock = false;
};

// A key press or release anywhere on the desktop.
struct WatchedKey {
    std::uint8_t scan = 0;
    bool pressed = true;
    // Synthesised (on X11, through XTest) by this or another program, not
    // typed on a keyboard.
    bool synthetic = false;
    KeyModifiers modifiers;
};

// Watches every key pressed and released on the desktop, whichever window
// has the focus, on the thread that starts it. Copying is deleted.
class KeyWatch {
public:
    // Called for each key with the layout in force when it was pressed.
    using Handler = std::function<void(const WatchedKey&, const KeyLayout&)>;

    KeyWatch() = default;
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;
    virtual ~KeyWatch() = default;

    // False when the keyboard cannot be watched.
    virtual bool start(Handler onKey) = 0;
    virtual void stop() = 0;
};

}  // namespace ks
