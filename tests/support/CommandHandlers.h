#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "commands/CommandDispatch.h"

namespace ks::test {

// Commands run by functions a test or benchmark sets, each registered in
// `dispatch` as a family of its own: for what routes commands, not for what
// a command does.
class CommandHandlers {
public:
    using Handler = std::function<CommandResult(const std::string& path, std::uint32_t id)>;
    using KeystrokeHandler = std::function<void(const std::string& path, std::uint32_t id)>;

    explicit CommandHandlers(CommandDispatch& dispatch) : dispatch_(dispatch) {}

    void setHandler(CommandId id, Handler handler) {
        add(std::make_unique<Family>(id, std::move(handler)));
    }
    void setKeystrokeHandler(KeystrokeHandler handler) {
        add(std::make_unique<Family>(std::nullopt, [handler = std::move(handler)](
                                                       const std::string& path, std::uint32_t id) {
            handler(path, id);
            return CommandResult::Next;
        }));
    }

private:
    // One named command, or the keystrokes when it names none.
    class Family final : public CommandFamily {
    public:
        Family(std::optional<CommandId> id, Handler handler)
            : id_(id), handler_(std::move(handler)) {}
        std::span<const CommandId> ids() const override {
            return id_ ? std::span<const CommandId>(&*id_, 1) : std::span<const CommandId>();
        }
        bool runsKeystrokes() const override { return !id_; }
        CommandResult run(std::uint32_t id, CommandContext& command) override {
            return handler_(command.path(), id);
        }

    private:
        std::optional<CommandId> id_;
        Handler handler_;
    };

    void add(std::unique_ptr<Family> family) {
        dispatch_.add(*family);
        families_.push_back(std::move(family));
    }

    CommandDispatch& dispatch_;
    std::vector<std::unique_ptr<Family>> families_;
};

}  // namespace ks::test
