#pragma once

#include <memory>

#include "platform/InputInjector.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/SpareKeys.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandPointer.h"

namespace ks::wayland {

// The seat's layout, as the program's keyboard follows it.
class WaylandKeymap final : public Keymap {
public:
    explicit WaylandKeymap(WaylandKeyboard& keyboard) : keyboard_(keyboard) {}
    std::shared_ptr<const KeyLayout> layout() override { return keyboard_.layout(); }

private:
    WaylandKeyboard& keyboard_;
};

// Keys through the program's virtual keyboard, the pointer through its
// virtual pointer; root coordinates are those of the output layout. A
// compositor without virtual pointers gets no pointer events.
class WaylandInputInjector final : public InputInjector {
public:
    WaylandInputInjector(WaylandKeyboard& keyboard, WaylandPointer* pointer)
        : keyboard_(keyboard), pointer_(pointer) {}

    bool available() override { return true; }
    void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) override;
    void key(std::uint8_t vk, std::uint8_t scan, bool down) override;
    void motion(std::int32_t x, std::int32_t y) override;
    void button(unsigned number, bool down) override;
    void flush() override;

private:
    WaylandKeyboard& keyboard_;
    WaylandPointer* pointer_;
};

// The program's keyboard keeps its own keymap, so a character is lent a key
// of that keymap alone and no other keyboard changes. The compositor hands
// a keymap change to each program in order with the keys, so no wait for
// programs to catch up is needed, and a key may be lent again at once.
class WaylandSpareKeys final : public SpareKeys {
public:
    explicit WaylandSpareKeys(WaylandKeyboard& keyboard) : keyboard_(keyboard) {}

    std::size_t capacity() override { return keyboard_.spareCapacity(); }
    Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>& chars) override {
        return keyboard_.bindSpare(chars);
    }
    // The characters stay on the program's own keys, which no one else
    // types on: giving them back would only make every program read the
    // keymap once more, and the next text that needs them once more again.
    void release() override {}

private:
    WaylandKeyboard& keyboard_;
};

// The locks of the program's own keyboard, the ones its keys are read with.
class WaylandKeyboardState final : public KeyboardState {
public:
    explicit WaylandKeyboardState(WaylandKeyboard& keyboard) : keyboard_(keyboard) {}

    bool isOn(LockKey key) override { return keyboard_.isLocked(key); }
    void showToggle(LockKey key, bool on) override;
    void setCapsLock(bool on) override;

private:
    WaylandKeyboard& keyboard_;
};

// The input services of a wlroots desktop on one connection: the program's
// keyboard and pointer, made once and kept while it runs.
class WaylandInput {
public:
    // Fails, naming what is missing, when the compositor offers no seat or
    // no virtual keyboards; without virtual pointers the pointer does nothing.
    static Expected<std::unique_ptr<WaylandInput>> open(WaylandConnection& connection);
    ~WaylandInput();
    WaylandInput(const WaylandInput&) = delete;
    WaylandInput& operator=(const WaylandInput&) = delete;

    Keymap& keymap() { return keymap_; }
    InputInjector& injector() { return injector_; }
    SpareKeys& spareKeys() { return spareKeys_; }
    KeyboardState& keyboard() { return keyboardState_; }
    WaylandKeyboard& virtualKeyboard() { return *keyboard_; }

private:
    WaylandInput(wl_seat* seat, std::unique_ptr<WaylandKeyboard> keyboard,
                 std::unique_ptr<WaylandPointer> pointer);

    wl_seat* seat_;
    std::unique_ptr<WaylandKeyboard> keyboard_;
    std::unique_ptr<WaylandPointer> pointer_;
    WaylandKeymap keymap_;
    WaylandInputInjector injector_;
    WaylandSpareKeys spareKeys_;
    WaylandKeyboardState keyboardState_;
};

}  // namespace ks::wayland
