#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/CommandFamily.h"

namespace ks {

class Messages;
class PeerClient;
class RunControl;
class VariableTable;

// This machine as COPY REMOTE CLIP BOARD sees it, to refuse copying from
// itself: its host name, and that name's addresses as text.
struct LocalHost {
    std::function<std::optional<std::string>()> name;
    std::function<std::vector<std::string>(const std::string& name)> addresses;
};

// The host name and addresses the system gives.
LocalHost systemLocalHost();

// COPY REMOTE CLIP BOARD: asks the request server of another machine for
// its clipboard text and keeps it in a named buffer. The exchange is waited
// on through the run, so the program stays responsive and a stop ends it.
class RemoteClipboardCommand final : public CommandFamily {
public:
    struct Services {
        Messages& messages;
        VariableTable& variables;
        RunControl& run;
        PeerClient& peers;
        LocalHost localHost;
    };

    static constexpr int kSends = 3;

    explicit RemoteClipboardCommand(Services services) : services_(std::move(services)) {}

    std::span<const CommandId> ids() const override;
    CommandResult run(std::uint32_t id, CommandContext& command) override;

private:
    // Whether `host` names this machine; shows why when it does or when that
    // cannot be told.
    bool refusedAsThisMachine(const std::string& host);
    void takeReply(const std::string& body, const std::string& bufferName);
    void showError(const std::string& text, const char* title);

    Services services_;
};

}  // namespace ks
