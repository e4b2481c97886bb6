#pragma once

#include <memory>

#include "platform/Keymap.h"

namespace ks::test {

// A United States keyboard as the key-code layer reads libxkbcommon's own
// keymap data (evdev keycodes, scan code = keycode - 8), whatever layout the
// machine's environment asks for.
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
