#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/CommandFamily.h"
#include "platform/Clock.h"
#include "platform/SystemClock.h"
#include "runner/RunControl.h"
#include "system/DateTimeFormat.h"
#include "system/TimeProtocol.h"

namespace ks {

// SEND DATE and SEND TIME, which type the date or time assembled from the
// parts stored under the command's key, and SET CLOCK, which sets the
// system clock from a time server. None shows a message of its own.
class DateTimeCommands final : public CommandFamily {
public:
    // Types UTF-8 text as the user would.
    using TypeText = std::function<void(std::string_view)>;

    DateTimeCommands(RunControl& run, Clock& clock, SystemClock& systemClock, TypeText type,
                     TimeServers servers);

    std::span<const CommandId> ids() const override;
    CommandResult run(std::uint32_t id, CommandContext& command) override;

private:
    // The command's UTC flag and parts; nothing once a value cannot be read
    // (the store has reported it then).
    std::optional<std::pair<bool, DateTimeParts>> readParts(CommandContext& command);
    std::optional<DateTimePart> readPart(CommandContext& part);
    void setClock();

    Clock& clock_;
    SystemClock& systemClock_;
    TypeText type_;
    TimeProtocolClient timeClient_;
};

}  // namespace ks
