#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "commands/CommandTable.h"

namespace ks {

// What the runner does after a command's handler returns.
enum class CommandResult {
    Next,         // go on with the next position
    Failed,       // a waiting command failed: the run ends (the handler showed its message)
    Handover,     // someone else continues the run by posting run step (playback)
    Unavailable,  // a named command without a handler: the run cannot go on safely
};

// A command handler gets the command key path `<macro>\Commands\<n>`
// (relative to Macros) and the command's identifier, and reads its own
// values below that path.
using CommandHandler =
    std::function<CommandResult(const std::string& commandPath, std::uint32_t id)>;
using KeystrokeHandler = std::function<void(const std::string& commandPath, std::uint32_t id)>;

// The table from command identifier to handler. Each command family
// registers its handlers here; the runner executes DELAY, PAUSE, REPEAT,
// LOOP and SHUTDOWN KEYSTRIDER itself and hands every other command over.
class CommandDispatch {
public:
    CommandDispatch() = default;
    CommandDispatch(const CommandDispatch&) = delete;
    CommandDispatch& operator=(const CommandDispatch&) = delete;

    // Replaces the handler of a named command.
    void setHandler(CommandId id, CommandHandler handler);
    // Runs every identifier that names no command.
    void setKeystrokeHandler(KeystrokeHandler handler);
    bool hasHandler(std::uint32_t id) const;

    // A named command without a handler does nothing and answers Unavailable.
    CommandResult execute(const std::string& commandPath, std::uint32_t id);

private:
    static constexpr std::uint32_t kFirstNamed = kDelay;
    static constexpr std::uint32_t kLastNamed = kWaitForDriveMap;

    std::array<CommandHandler, kLastNamed - kFirstNamed + 1> handlers_;
    KeystrokeHandler keystroke_;
};

}  // namespace ks
