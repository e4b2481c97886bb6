#pragma once

#include <string_view>

#include "platform/InputInjector.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/SpareKeys.h"

namespace ks {

// Types text as key presses and releases, character by character, as if the
// user typed it. Characters the layout has a key for are typed on that key
// (with Shift where the key needs it); every other character is lent a
// spare key for as long as it is needed.
class KeySequence {
public:
    KeySequence(Keymap& keymap, InputInjector& injector, SpareKeys& spareKeys,
                KeyboardState& keyboard)
        : keymap_(keymap), injector_(injector), spareKeys_(spareKeys), keyboard_(keyboard) {}

    // Types UTF-8 text. A character that needs a spare key when none can be
    // had is skipped and the rest typed; leaves no key lent and Caps Lock as
    // it found it, whatever happens.
    void TypeText(std::string_view text);

private:
    Keymap& keymap_;
    InputInjector& injector_;
    SpareKeys& spareKeys_;
    KeyboardState& keyboard_;
};

}  // namespace ks
