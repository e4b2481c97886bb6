#pragma once

#include <memory>

#include "platform/Keymap.h"

namespace ks::test {

// The part of a United States keyboard the unit tests type on, as the X
// server's evdev keycodes number it (scan code = keycode - 8): every key with
// a character, the modifiers and locks, and the few other keys the tests use.
// The real layouts are tested against the X server.
KeyLayout usKeyLayout();

// A keymap that always answers with one fixed layout.
class FixedKeymap final : public Keymap {
public:
    explicit FixedKeymap(KeyLayout layout = usKeyLayout())
        : layout_(std::make_shared<const KeyLayout>(std::move(layout))) {}
    std::shared_ptr<const KeyLayout> layout() override { return layout_; }

private:
    std::shared_ptr<const KeyLayout> layout_;
};

}  // namespace ks::test
