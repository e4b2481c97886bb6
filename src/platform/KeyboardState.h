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

    // Called after the lock key was pressed and released (or when the layout
    // has no key for it) to set the toggle to `on` without a key event where
    // the key changed nothing: the lock's modifier for Caps Lock and Num
    // Lock, the indicator for Scroll Lock (which on most X keymaps has no
    // modifier behind it).
    virtual void showToggle(LockKey key, bool on) = 0;

    // Locks or unlocks Caps Lock without any key event, so that typed text
    // comes out in the case it was given. Targets see the change only in the
    // state of later key events.
    virtual void setCapsLock(bool on) = 0;
};

}  // namespace ks
