#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "journal/JournalEvent.h"

namespace ks {

// One row of an event list: event name, interval to the previous event, key, X, Y.
struct EventRow {
    std::string name;
    std::string interval;
    std::string key;
    std::string x;
    std::string y;

    friend bool operator==(const EventRow&, const EventRow&) = default;
};

// The display name of a virtual-key code (the key vocabulary's).
using KeyNamer = std::function<std::string(std::uint8_t virtualKey)>;

// The row of event `index`; an event that is no known input event is still
// given a row, after its message box.
EventRow describeEvent(const std::vector<JournalEvent>& events, std::size_t index,
                       const KeyNamer& keyName, Messages& messages);

}  // namespace ks
