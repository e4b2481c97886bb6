#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace ks {

// A stored value as the editor holds it: text or a 32-bit number.
using CommandValueData = std::variant<std::string, std::uint32_t>;

struct CommandValue {
    std::string name;
    CommandValueData data;
    bool operator==(const CommandValue&) const = default;
};

// One command of a macro body in memory: its identifier, its stored values
// and, for the commands that keep them, its numbered sub-keys (the parts of
// SEND DATE and SEND TIME, the text boxes of PROMPT USER).
struct CommandRecord {
    explicit CommandRecord(std::uint32_t type = 0, std::vector<CommandValue> stored = {},
                           std::vector<CommandRecord> subKeys = {})
        : id(type), values(std::move(stored)), parts(std::move(subKeys)) {}

    std::uint32_t id;
    std::vector<CommandValue> values;
    std::vector<CommandRecord> parts;

    // Value names compare without regard to case, as the store's do.
    const CommandValueData* find(std::string_view name) const;
    // The value as text: a number in decimal (signed, as the commands read
    // it), empty when missing.
    std::string text(std::string_view name) const;
    std::optional<std::uint32_t> number(std::string_view name) const;
    // Replaces the value of that name or appends it.
    void set(std::string_view name, CommandValueData data);

    bool operator==(const CommandRecord&) const = default;
};

}  // namespace ks
