#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/CommandId.h"

namespace ks {

// What the runner does after a command's family has run it.
enum class CommandResult {
    Next,         // go on with the next position
    Failed,       // a waiting command failed: the run ends (the family showed its message)
    Handover,     // someone else continues the run by posting run step (playback)
    Unavailable,  // a named command no family runs: the run cannot go on safely
};

// One command as its family reads it: the values stored under the command's
// key `<macro>\Commands\<n>` (below Macros). A value that cannot be read is
// reported by the store, except where a read says it is quiet.
class CommandContext {
public:
    CommandContext() = default;
    CommandContext(const CommandContext&) = delete;
    CommandContext& operator=(const CommandContext&) = delete;
    virtual ~CommandContext() = default;

    // The command's key, relative to Macros.
    virtual const std::string& path() const = 0;
    // A text value with its references expanded.
    virtual std::optional<std::string> text(std::string_view name) = 0;
    // A text value as stored, unexpanded.
    virtual std::optional<std::string> storedText(std::string_view name) = 0;
    // A text value with its references expanded; a missing one is no error.
    virtual std::optional<std::string> quietText(std::string_view name) = 0;
    virtual std::optional<std::uint32_t> number(std::string_view name) = 0;
    // The values of the command's sub-key `name` (a prompt, a date part).
    virtual std::unique_ptr<CommandContext> child(std::string_view name) = 0;
};

// A group of named commands that share their services. The dispatch hands
// each command the family registered for its identifier.
class CommandFamily {
public:
    CommandFamily() = default;
    CommandFamily(const CommandFamily&) = delete;
    CommandFamily& operator=(const CommandFamily&) = delete;
    virtual ~CommandFamily() = default;

    // The named commands the family runs.
    virtual std::span<const CommandId> ids() const = 0;
    // Whether it also runs the identifiers that name no command (keystrokes).
    virtual bool runsKeystrokes() const { return false; }
    virtual CommandResult run(std::uint32_t id, CommandContext& command) = 0;
};

}  // namespace ks
