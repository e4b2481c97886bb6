#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/KeyLayout.h"
#include "platform/KeyWatch.h"
#include "platform/SeatKeymap.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace ks::evdev {

// The program's own xkb state on the seat's keymap, fed with the keys of the
// kernel's devices: what a key types depends on the modifiers and the layout
// in force, which the display server keeps to itself on Wayland. All the
// seat's keyboards move one state, as the display server combines them.
class SeatKeyState {
public:
    // Until the display server has told the seat's keymap, the keymap is the
    // one xkbcommon makes from the environment's names (XKB_DEFAULT_LAYOUT
    // and the others, else its built-in defaults).
    explicit SeatKeyState(const SeatKeymap& keymap);
    ~SeatKeyState();
    SeatKeyState(const SeatKeyState&) = delete;
    SeatKeyState& operator=(const SeatKeyState&) = delete;

    // Takes the seat's keymap again when it changed, with no key down and no
    // modifier locked; false when there is no keymap to work with.
    bool follow();

    // A key went down or up (`code` is the kernel's key code).
    void apply(std::uint16_t code, bool pressed);
    // Forgets the keys held, keeping the locks: the devices are read anew and
    // a key held meanwhile may have been released unseen.
    void releaseKeys();
    // Sets Caps Lock and Num Lock as a keyboard's lights show them.
    void setLocks(bool capsLock, bool numLock);

    // The modifiers in force, for the phrase watch and for the recorder
    // (CapturedInput's bits).
    KeyModifiers keyModifiers() const;
    std::uint32_t captureModifiers() const;
    // The key layout of the keymap's layout in force.
    const KeyLayout& layout();

private:
    bool compile();
    bool isActive(std::uint32_t mask) const;

    const SeatKeymap& source_;
    std::uint64_t serial_ = 0;
    bool compiled_ = false;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    struct Masks {
        std::uint32_t shift = 0, capsLock = 0, control = 0, alt = 0, altGr = 0, numLock = 0;
    } masks_;
    std::vector<std::optional<KeyLayout>> layouts_;  // by the keymap's layout index
};

}  // namespace ks::evdev
