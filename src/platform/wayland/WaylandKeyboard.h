#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Result.h"
#include "platform/KeyLayout.h"
#include "platform/KeyboardState.h"
#include "platform/SeatKeymap.h"
#include "platform/SpareKeys.h"
#include "platform/wayland/EventQueue.h"
#include "platform/wayland/SpareKeymap.h"

struct wl_display;
struct wl_keyboard;
struct wl_seat;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace ks::wayland {

// The program's virtual keyboard, made once and kept: a seat whose keyboard
// appears only when typing starts makes the focused program bind its
// keyboard late, and the first key is lost.
//
// The keyboard carries its own keymap: the seat's layout, followed through
// wl_keyboard.keymap (where the program's own uploads come back too, and are
// ignored), with characters the layout lacks on its free keys. A program
// gets a keymap change in order with the keys, so keys typed before a change
// are read with the keymap they were typed under.
//
// Modifiers do not follow from a virtual keyboard's keys: the compositor
// takes them from the modifiers request only, so the keyboard keeps its own
// state of what its keys hold down and lock, and sends it on each change.
// The compositor keeps each keyboard's locks apart, so the lock keys act on
// this keyboard's: typed text needs no account of a physical Caps Lock.
class WaylandKeyboard {
public:
    // Makes the keyboard on `seat`; the layout is the default one
    // ($XKB_DEFAULT_LAYOUT and its kin) until the seat announces its own.
    // Each seat layout it adopts is also put in `seatLayout`, for code that
    // reads the keyboard devices below the compositor.
    static Expected<std::unique_ptr<WaylandKeyboard>> create(
        wl_display* display, wl_seat* seat, zwp_virtual_keyboard_manager_v1* manager,
        std::shared_ptr<SharedSeatKeymap> seatLayout);
    ~WaylandKeyboard();
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    // The seat's layout, after the keymaps the compositor sent so far.
    std::shared_ptr<const KeyLayout> layout();
    // Presses or releases a key by its evdev code (the keymap's keycode less 8).
    void key(std::uint32_t code, bool down);
    Result flush() { return queue_.flush(); }

    bool isLocked(LockKey key);
    void setLocked(LockKey key, bool on);

    // The spare keys: each free key of the layout with a plain and a shifted level.
    std::size_t spareCapacity() const { return free_.size() * 2; }
    Expected<std::vector<SpareStroke>> bindSpare(const std::vector<char32_t>& chars);

private:
    WaylandKeyboard(wl_display* display, zwp_virtual_keyboard_v1* keyboard,
                    std::shared_ptr<SharedSeatKeymap> seatLayout);

    static void onKeymap(void* data, wl_keyboard* keyboard, std::uint32_t format, int fd,
                         std::uint32_t size);
    void followSeat(std::string text);
    Result adoptSeatLayout(std::string text);
    Result upload();
    void sendModifiers();

    EventQueue queue_;
    zwp_virtual_keyboard_v1* keyboard_;
    wl_keyboard* seatKeyboard_ = nullptr;
    xkb_context* context_;
    // The seat's layout: its text, its free keys and what it types.
    std::string seatText_;
    std::shared_ptr<SharedSeatKeymap> seatLayout_;
    std::vector<FreeKeycode> free_;
    std::shared_ptr<const KeyLayout> layout_;
    // The characters on the free keys, by index into free_.
    std::map<std::size_t, std::array<char32_t, 2>> bound_;
    // The keymap uploaded last and the state of this keyboard's modifiers in it.
    xkb_keymap* uploaded_ = nullptr;
    xkb_state* state_ = nullptr;
    std::array<std::uint32_t, 4> sentModifiers_{};
    bool scrollLock_ = false;
};

}  // namespace ks::wayland
