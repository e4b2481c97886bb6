#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/Utf8.h"

namespace ks {

enum class ValueKind { Number, Text };

struct ValueSpec {
    const char* name;
    ValueKind kind;
};

// The values a command of one type keeps in its key, in the order the
// document writes them, and those of the sub-keys some types keep (`0`,
// `1`, …), which end at the first sub-key without the first nested value.
struct CommandValueSet {
    std::span<const ValueSpec> values;
    std::span<const ValueSpec> nested;
    // Sub-keys beyond this many are not written.
    std::uint32_t nestedLimit = 0;
};

CommandValueSet valuesOfCommand(std::uint32_t commandId);

// A schedule entry's values, in the document's order; the period alone is a number.
std::span<const ValueSpec> scheduleValues();

// The spec of `name` within `specs`, compared without regard to case; null when none.
const ValueSpec* findValue(std::span<const ValueSpec> specs, std::string_view name);

// The first element below `element` named `tag` in any case, depth first; null when none.
template <typename Element>
Element* firstBelowIgnoringCase(Element& element, std::string_view tag) {
    for (auto& child : element.children) {
        if (utf8::sameName(child.name, tag)) return &child;
        if (Element* found = firstBelowIgnoringCase(child, tag)) return found;
    }
    return nullptr;
}

}  // namespace ks
