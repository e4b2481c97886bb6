#pragma once

#include <memory>

#include "platform/Keymap.h"

namespace ks::test {

// The keys of a United States keyboard the unit tests use, with the X
// server's evdev keycodes (scan code = keycode - 8).
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
