#include "commands/CommandDispatch.h"

namespace ks {

void CommandDispatch::setHandler(CommandId id, CommandHandler handler) {
    handlers_.at(id - kFirstNamed) = std::move(handler);
}

void CommandDispatch::setKeystrokeHandler(KeystrokeHandler handler) {
    keystroke_ = std::move(handler);
}

bool CommandDispatch::hasHandler(std::uint32_t id) const {
    if (!isNamedCommand(id)) return static_cast<bool>(keystroke_);
    return static_cast<bool>(handlers_[id - kFirstNamed]);
}

CommandResult CommandDispatch::execute(const std::string& commandPath, std::uint32_t id) {
    if (!isNamedCommand(id)) {
        if (keystroke_) keystroke_(commandPath, id);
        return CommandResult::Next;
    }
    const CommandHandler& handler = handlers_[id - kFirstNamed];
    return handler ? handler(commandPath, id) : CommandResult::Unavailable;
}

}  // namespace ks
