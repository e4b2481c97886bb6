#pragma once

namespace ks {

enum class LockKey { CapsLock, NumLock, ScrollLock };

// The keyboard's lock toggles as the desktop's indicators show them.
class KeyboardState {
public:
    KeyboardState() = default;
    KeyboardState(const KeyboardState&) = delete;
    KeyboardState& operator=(const KeyboardState&) = delete;
    virtual ~KeyboardState() = default;

    virtual bool isOn(LockKey key) = 0;

    // Called after the lock key was pressed and released to set the toggle
    // to `on`: makes the toggle show `on` where the key itself drives no
    // state (Scroll Lock on most X keymaps has no modifier behind it).
    virtual void showToggle(LockKey key, bool on) = 0;

    // Locks or unlocks Caps Lock without any key event, so that typed text
    // comes out in the case it was given. Targets see the change only in the
    // state of later key events.
    virtual void setCapsLock(bool on) = 0;
};

}  // namespace ks
