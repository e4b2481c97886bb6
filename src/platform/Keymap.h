#pragma once

#include <memory>

#include "platform/KeyLayout.h"

namespace ks {

// The current keyboard layout. Each call answers for the layout in force at
// that moment, so a layout switched while the program runs is followed.
class Keymap {
public:
    Keymap() = default;
    Keymap(const Keymap&) = delete;
    Keymap& operator=(const Keymap&) = delete;
    virtual ~Keymap() = default;

    virtual std::shared_ptr<const KeyLayout> layout() = 0;
};

}  // namespace ks
