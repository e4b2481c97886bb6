#pragma once

#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "commands/CommandDispatch.h"

namespace ks::test {

// Every command run by a function a test or benchmark sets, for what routes
// commands rather than what a command does: a named command without a
// function is unavailable, a keystroke without one does nothing.
class CommandHandlers final : public CommandFamily {
public:
    using Handler = std::function<CommandResult(const std::string& path, std::uint32_t id)>;
    using KeystrokeHandler = std::function<void(const std::string& path, std::uint32_t id)>;

    explicit CommandHandlers(CommandDispatch& dispatch) {
        for (const CommandInfo& info : commandTable()) ids_.push_back(info.id);
        dispatch.add(*this);
    }

    void setHandler(CommandId id, Handler handler) { handlers_[id] = std::move(handler); }
    void setKeystrokeHandler(KeystrokeHandler handler) { keystroke_ = std::move(handler); }

    std::span<const CommandId> ids() const override { return ids_; }
    bool runsKeystrokes() const override { return true; }
    CommandResult run(std::uint32_t id, CommandContext& command) override {
        if (!isNamedCommand(id)) {
            if (keystroke_) keystroke_(command.path(), id);
            return CommandResult::Next;
        }
        const auto found = handlers_.find(id);
        return found != handlers_.end() ? found->second(command.path(), id)
                                        : CommandResult::Unavailable;
    }

private:
    std::vector<CommandId> ids_;
    std::map<std::uint32_t, Handler> handlers_;
    KeystrokeHandler keystroke_;
};

}  // namespace ks::test
