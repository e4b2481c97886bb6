#include "commands/CommandDispatch.h"

namespace ks {

void CommandDispatch::add(CommandFamily& family) {
    for (CommandId id : family.ids()) families_.at(id - kFirstNamed) = &family;
    if (family.runsKeystrokes()) keystrokes_ = &family;
}

CommandResult CommandDispatch::execute(std::uint32_t id, CommandContext& command) {
    if (!isNamedCommand(id)) {
        return keystrokes_ != nullptr ? keystrokes_->run(id, command) : CommandResult::Next;
    }
    CommandFamily* family = families_[id - kFirstNamed];
    return family != nullptr ? family->run(id, command) : CommandResult::Unavailable;
}

}  // namespace ks
