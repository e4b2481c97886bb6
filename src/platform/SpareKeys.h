#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Result.h"

namespace ks {

// Where a character lent to a spare key is typed: the key's scan code, and
// whether Shift selects it.
struct SpareStroke {
    std::uint8_t scan = 0;
    bool shift = false;
    bool operator==(const SpareStroke&) const = default;
};

// Keys the layout leaves without symbols, lent to characters the layout
// cannot type. Target programs read the keymap lazily after it changes, so
// an implementation must not change a binding while targets may still be
// reading keys typed under the previous one.
//
// A bind() takes keys asked for least recently; a text that needs several
// binds asks for at most capacity() / (kKeptBinds + 1) characters each time,
// so that no bind takes the keys of the kKeptBinds binds before it.
class SpareKeys {
public:
    static constexpr unsigned kKeptBinds = 3;

    SpareKeys() = default;
    SpareKeys(const SpareKeys&) = delete;
    SpareKeys& operator=(const SpareKeys&) = delete;
    virtual ~SpareKeys() = default;

    // How many characters can be bound at the same time.
    virtual std::size_t capacity() = 0;

    // Binds all of `chars` (distinct, at most capacity()) at once, replacing
    // any earlier binding, and gives each one's stroke in the same order.
    // While keys are lent, every call (one with no characters too) may wait
    // for targets to catch up with the keys typed before it.
    virtual Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>& chars) = 0;

    // Gives every lent key back its empty mapping. Harmless when nothing is bound.
    virtual void release() = 0;
};

}  // namespace ks
