#include "platform/wayland/WaylandInput.h"

#include <wayland-client-protocol.h>

#include "platform/MouseFlags.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace ks::wayland {

// Scan codes are evdev codes, the keymap's keycodes less 8, as on X11.
void WaylandInputInjector::key(std::uint8_t vk, std::uint8_t scan, bool down) {
    const std::uint8_t pressed = keyboard_.layout()->scanToPress(vk, scan);
    if (pressed == 0) return;
    announce(pressed, down);
    keyboard_.key(pressed, down);
}

void WaylandInputInjector::keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    key(vk, scan, (flags & kKeyUp) == 0);
    flush();
}

// The compositor leaves out a move to where the pointer already is, so
// there is nothing to ask first.
void WaylandInputInjector::motion(std::int32_t x, std::int32_t y) {
    if (pointer_ != nullptr) pointer_->moveTo(x, y);
}

void WaylandInputInjector::button(unsigned number, bool down) {
    if (pointer_ != nullptr) pointer_->button(number, down);
}

void WaylandInputInjector::flush() {
    keyboard_.flush();
}

void WaylandInputInjector::mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) {
    if (pointer_ != nullptr && (flags & kMouseMove) != 0) {
        if ((flags & kMouseAbsolute) != 0) {
            const LayoutBox box = pointer_->layout();
            pointer_->moveTo(box.x + pixelOf(x, box.width), box.y + pixelOf(y, box.height));
        } else {
            pointer_->moveBy(x, y);
        }
    }
    fakeButtons(*this, flags);
    flush();
}

void WaylandKeyboardState::showToggle(LockKey key, bool on) {
    if (keyboard_.isLocked(key) != on) keyboard_.setLocked(key, on);
    keyboard_.flush();
}

void WaylandKeyboardState::setCapsLock(bool on) {
    keyboard_.setLocked(LockKey::CapsLock, on);
    keyboard_.flush();
}

WaylandInput::WaylandInput(wl_seat* seat, std::unique_ptr<WaylandKeyboard> keyboard,
                           std::unique_ptr<WaylandPointer> pointer)
    : seat_(seat),
      keyboard_(std::move(keyboard)),
      pointer_(std::move(pointer)),
      keymap_(*keyboard_),
      injector_(*keyboard_, pointer_.get()),
      spareKeys_(*keyboard_),
      keyboardState_(*keyboard_) {}

WaylandInput::~WaylandInput() {
    pointer_.reset();
    keyboard_.reset();
    if (wl_seat_get_version(seat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
        wl_seat_release(seat_);
    } else {
        wl_seat_destroy(seat_);
    }
}

Expected<std::unique_ptr<WaylandInput>> WaylandInput::open(WaylandConnection& connection) {
    auto keyboards = connection.bind<zwp_virtual_keyboard_manager_v1>(
        zwp_virtual_keyboard_manager_v1_interface, 1, 1);
    if (!keyboards) return keyboards.status();
    auto seat = connection.bind<wl_seat>(wl_seat_interface, 1, 7);
    if (!seat) {
        zwp_virtual_keyboard_manager_v1_destroy(*keyboards);
        return seat.status();
    }
    auto keyboard = WaylandKeyboard::create(connection.display(), *seat, *keyboards);
    // The keyboard lives on without its manager, which has nothing more to make.
    zwp_virtual_keyboard_manager_v1_destroy(*keyboards);
    std::unique_ptr<WaylandPointer> pointer;
    if (auto pointers = connection.bind<zwlr_virtual_pointer_manager_v1>(
            zwlr_virtual_pointer_manager_v1_interface, 1, 2)) {
        auto made = WaylandPointer::create(connection.display(), *seat, *pointers);
        if (made) pointer = std::move(*made);
        zwlr_virtual_pointer_manager_v1_destroy(*pointers);
    }
    if (!keyboard) {
        wl_seat_destroy(*seat);
        return keyboard.status();
    }
    return std::unique_ptr<WaylandInput>(
        new WaylandInput(*seat, std::move(*keyboard), std::move(pointer)));
}

}  // namespace ks::wayland
