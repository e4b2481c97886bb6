#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Result.h"
#include "editors/CommandRecord.h"
#include "triggers/ScheduleRules.h"

namespace ks {

class KeyTree;

// Everything the store keeps of one macro below `Macros\<name>`.
struct MacroDocument {
    std::string name;
    std::uint32_t vk = 0;
    std::uint32_t modifiers = 0;  // `fsModifiers`
    std::uint32_t hotKeyId = 0;   // `id`, the hot key's registration number
    std::uint32_t repeat = 1;
    std::uint32_t messageId = 0;  // `MsgID`; 0: none
    std::string phrase;
    bool phraseCase = false;
    std::vector<Schedule> schedules;
    std::vector<CommandRecord> commands;
};

// The stored macro; an error when its key cannot be read.
Expected<MacroDocument> readMacro(KeyTree& tree, const std::string& name);

// Writes `macro` as one change of the store. `replacing`, when not empty, is
// the stored macro it takes the place of: deleted in the same change, so that
// a failed write leaves that macro whole. A macro of the new name that is not
// being replaced is refused (kMacroExists), with nothing written.
Result writeMacro(KeyTree& tree, const MacroDocument& macro, const std::string& replacing = {});

inline constexpr const char* kMacroExists = "A macro of that name exists.";

}  // namespace ks
