#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/InputInjector.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/SpareKeys.h"
#include "platform/refusing/RefusingServices.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandPointer.h"

struct wl_seat;

namespace ks::wayland {

// The program's virtual keyboard and pointer on the seat, made once and
// kept while the program runs, shared by the input services.
class WaylandDevices {
public:
    // Fails, naming what is missing, when the compositor offers no seat or
    // no virtual keyboards. Without virtual pointers there is no pointer,
    // and pointerError() says why.
    static Expected<std::shared_ptr<WaylandDevices>> open(
        WaylandConnection& connection,
        std::shared_ptr<SharedSeatKeymap> seatLayout = std::make_shared<SharedSeatKeymap>());
    ~WaylandDevices();
    WaylandDevices(const WaylandDevices&) = delete;
    WaylandDevices& operator=(const WaylandDevices&) = delete;

    WaylandKeyboard& keyboard() { return *keyboard_; }
    WaylandPointer* pointer() { return pointer_.get(); }
    const std::string& pointerError() const { return pointerError_; }

private:
    WaylandDevices(wl_seat* seat, std::unique_ptr<WaylandKeyboard> keyboard,
                   std::unique_ptr<WaylandPointer> pointer, std::string pointerError);

    wl_seat* seat_;
    std::unique_ptr<WaylandKeyboard> keyboard_;
    std::unique_ptr<WaylandPointer> pointer_;
    std::string pointerError_;
};

// The seat's layout, as the program's keyboard follows it. The other input
// services of a platform reach the devices through its keymap.
class WaylandKeymap final : public Keymap {
public:
    explicit WaylandKeymap(std::shared_ptr<WaylandDevices> devices)
        : devices_(std::move(devices)) {}
    std::shared_ptr<const KeyLayout> layout() override { return devices_->keyboard().layout(); }
    const std::shared_ptr<WaylandDevices>& devices() const { return devices_; }

private:
    std::shared_ptr<WaylandDevices> devices_;
};

// Keys through the program's virtual keyboard, the pointer through its
// virtual pointer; root coordinates are those of the output layout. Without
// a pointer, pointer events are refused with `pointerRefusal`.
class WaylandInputInjector final : public InputInjector {
public:
    WaylandInputInjector(std::shared_ptr<WaylandDevices> devices, std::string pointerRefusal)
        : devices_(std::move(devices)), pointerRefusal_(std::move(pointerRefusal)) {}

    bool available() override { return true; }
    void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) override;
    void key(std::uint8_t vk, std::uint8_t scan, bool down) override;
    void motion(std::int32_t x, std::int32_t y) override;
    void button(unsigned number, bool down) override;
    void flush() override;

private:
    // The pointer, or null after saying why there is none.
    WaylandPointer* pointer();

    std::shared_ptr<WaylandDevices> devices_;
    Refusal pointerRefusal_;
};

// The program's keyboard keeps its own keymap, so a character is lent a key
// of that keymap alone and no other keyboard changes. The compositor hands
// a keymap change to each program in order with the keys, so no wait for
// programs to catch up is needed, and a key may be lent again at once.
class WaylandSpareKeys final : public SpareKeys {
public:
    explicit WaylandSpareKeys(std::shared_ptr<WaylandDevices> devices)
        : devices_(std::move(devices)) {}

    std::size_t capacity() override { return devices_->keyboard().spareCapacity(); }
    Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>& chars) override {
        return devices_->keyboard().bindSpare(chars);
    }
    // The characters stay on the program's own keys, which no one else
    // types on: giving them back would only make every program read the
    // keymap once more, and the next text that needs them once more again.
    void release() override {}

private:
    std::shared_ptr<WaylandDevices> devices_;
};

// The locks of the program's own keyboard, the ones its keys are read with.
class WaylandKeyboardState final : public KeyboardState {
public:
    explicit WaylandKeyboardState(std::shared_ptr<WaylandDevices> devices)
        : devices_(std::move(devices)) {}

    bool isOn(LockKey key) override { return devices_->keyboard().isLocked(key); }
    void showToggle(LockKey key, bool on) override;
    void setCapsLock(bool on) override;

private:
    std::shared_ptr<WaylandDevices> devices_;
};

// The four input services over one set of devices on one connection: what
// the player's thread, the tests and the benchmarks type and point with.
class WaylandInput {
public:
    static Expected<std::unique_ptr<WaylandInput>> open(WaylandConnection& connection);
    explicit WaylandInput(const std::shared_ptr<WaylandDevices>& devices);

    Keymap& keymap() { return keymap_; }
    InputInjector& injector() { return injector_; }
    SpareKeys& spareKeys() { return spareKeys_; }
    KeyboardState& keyboard() { return keyboard_; }

private:
    WaylandKeymap keymap_;
    WaylandInputInjector injector_;
    WaylandSpareKeys spareKeys_;
    WaylandKeyboardState keyboard_;
};

}  // namespace ks::wayland
