#include "platform/wayland/WaylandInput.h"

#include <wayland-client-protocol.h>

#include "platform/MouseFlags.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace ks::wayland {

WaylandDevices::WaylandDevices(wl_seat* seat, std::unique_ptr<WaylandKeyboard> keyboard,
                               std::unique_ptr<WaylandPointer> pointer, std::string pointerError)
    : seat_(seat),
      keyboard_(std::move(keyboard)),
      pointer_(std::move(pointer)),
      pointerError_(std::move(pointerError)) {}

WaylandDevices::~WaylandDevices() {
    pointer_.reset();
    keyboard_.reset();
    if (wl_seat_get_version(seat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
        wl_seat_release(seat_);
    } else {
        wl_seat_destroy(seat_);
    }
}

namespace {

Expected<std::unique_ptr<WaylandPointer>> makePointer(WaylandConnection& connection,
                                                      wl_seat* seat) {
    auto pointers = connection.bind<zwlr_virtual_pointer_manager_v1>(
        zwlr_virtual_pointer_manager_v1_interface, 1, 2);
    if (!pointers) return pointers.status();
    auto made = WaylandPointer::create(connection.display(), seat, *pointers);
    // Pointers live on without their manager, which has nothing more to make.
    zwlr_virtual_pointer_manager_v1_destroy(*pointers);
    return made;
}

}  // namespace

Expected<std::shared_ptr<WaylandDevices>> WaylandDevices::open(
    WaylandConnection& connection, std::shared_ptr<SharedSeatKeymap> seatLayout) {
    auto keyboards = connection.bind<zwp_virtual_keyboard_manager_v1>(
        zwp_virtual_keyboard_manager_v1_interface, 1, 1);
    if (!keyboards) return keyboards.status();
    auto seat = connection.bind<wl_seat>(wl_seat_interface, 1, 7);
    if (!seat) {
        zwp_virtual_keyboard_manager_v1_destroy(*keyboards);
        return seat.status();
    }
    auto keyboard =
        WaylandKeyboard::create(connection.display(), *seat, *keyboards, std::move(seatLayout));
    zwp_virtual_keyboard_manager_v1_destroy(*keyboards);
    if (!keyboard) {
        wl_seat_destroy(*seat);
        return keyboard.status();
    }
    auto pointer = makePointer(connection, *seat);
    return std::shared_ptr<WaylandDevices>(
        new WaylandDevices(*seat, std::move(*keyboard),
                           pointer ? std::move(*pointer) : std::unique_ptr<WaylandPointer>(),
                           pointer ? std::string() : pointer.error()));
}

// Scan codes are evdev codes, the keymap's keycodes less 8, as on X11.
void WaylandInputInjector::key(std::uint8_t vk, std::uint8_t scan, bool down) {
    WaylandKeyboard& keyboard = devices_->keyboard();
    const std::uint8_t pressed = keyboard.layout()->scanToPress(vk, scan);
    if (pressed == 0) return;
    announce(pressed, down);
    keyboard.key(pressed, down);
}

void WaylandInputInjector::keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    key(vk, scan, (flags & kKeyUp) == 0);
    flush();
}

WaylandPointer* WaylandInputInjector::pointer() {
    WaylandPointer* pointer = devices_->pointer();
    if (pointer == nullptr) pointerRefusal_.report();
    return pointer;
}

// The compositor leaves out a move to where the pointer already is, so
// there is nothing to ask first.
void WaylandInputInjector::motion(std::int32_t x, std::int32_t y) {
    if (WaylandPointer* moved = pointer()) moved->moveTo(x, y);
}

void WaylandInputInjector::button(unsigned number, bool down) {
    if (WaylandPointer* pressed = pointer()) pressed->button(number, down);
}

// Keyboard and pointer share the connection: one flush sends both.
void WaylandInputInjector::flush() {
    devices_->keyboard().flush();
}

void WaylandInputInjector::mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) {
    WaylandPointer* moved = pointer();
    if (moved == nullptr) return;
    if ((flags & kMouseMove) != 0) {
        if ((flags & kMouseAbsolute) != 0) {
            const LayoutBox box = moved->layout();
            moved->moveTo(box.x + pixelOf(x, box.width), box.y + pixelOf(y, box.height));
        } else {
            moved->moveBy(x, y);
        }
    }
    fakeButtons(*this, flags);
    flush();
}

void WaylandKeyboardState::showToggle(LockKey key, bool on) {
    WaylandKeyboard& keyboard = devices_->keyboard();
    if (keyboard.isLocked(key) != on) keyboard.setLocked(key, on);
    keyboard.flush();
}

void WaylandKeyboardState::setCapsLock(bool on) {
    devices_->keyboard().setLocked(LockKey::CapsLock, on);
    devices_->keyboard().flush();
}

WaylandInput::WaylandInput(const std::shared_ptr<WaylandDevices>& devices)
    : keymap_(devices),
      injector_(devices, devices->pointerError()),
      spareKeys_(devices),
      keyboard_(devices) {}

Expected<std::unique_ptr<WaylandInput>> WaylandInput::open(WaylandConnection& connection) {
    auto devices = WaylandDevices::open(connection);
    if (!devices) return devices.status();
    return std::make_unique<WaylandInput>(*devices);
}

}  // namespace ks::wayland
