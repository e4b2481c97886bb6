#pragma once

#include <array>
#include <cstdint>

#include "commands/CommandFamily.h"
#include "commands/CommandTable.h"

namespace ks {

// The table from command identifier to the family that runs it. The runner
// executes DELAY, PAUSE, REPEAT, LOOP and SHUTDOWN KEYSTRIDER itself and
// hands every other command over.
class CommandDispatch {
public:
    CommandDispatch() = default;
    CommandDispatch(const CommandDispatch&) = delete;
    CommandDispatch& operator=(const CommandDispatch&) = delete;

    // Registers `family` for its identifiers, replacing any family registered
    // before; it must outlive the dispatch.
    void add(CommandFamily& family);

    // A named command no family runs does nothing and answers Unavailable;
    // an identifier that names no command without a keystroke family answers Next.
    CommandResult execute(std::uint32_t id, CommandContext& command);

private:
    static constexpr std::uint32_t kFirstNamed = kDelay;
    static constexpr std::uint32_t kLastNamed = kWaitForDriveMap;

    std::array<CommandFamily*, kLastNamed - kFirstNamed + 1> families_{};
    CommandFamily* keystrokes_ = nullptr;
};

}  // namespace ks
