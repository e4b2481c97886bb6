#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/CommandId.h"
#include "expand/Expander.h"
#include "platform/Clock.h"
#include "platform/SystemClock.h"
#include "runner/RunControl.h"
#include "store/SettingsStore.h"
#include "system/DateTimeFormat.h"
#include "system/TimeProtocol.h"

namespace ks {

// SEND DATE and SEND TIME, which type the date or time assembled from the
// parts stored under the command's key, and SET CLOCK, which sets the
// system clock from a time server. None shows a message of its own.
class DateTimeCommands {
public:
    // Types UTF-8 text as the user would.
    using TypeText = std::function<void(std::string_view)>;

    DateTimeCommands(SettingsStore& store, Expander& expander, RunControl& run, Clock& clock,
                     SystemClock& systemClock, TypeText type, TimeServers servers);

    static std::span<const CommandId> ids();
    void run(std::uint32_t id, std::string_view path);

private:
    // The command's UTC flag and parts; nothing once a value cannot be read
    // (the store has reported it then).
    std::optional<std::pair<bool, DateTimeParts>> readParts(std::string_view path);
    std::optional<DateTimePart> readPart(const std::string& partPath);
    void setClock();

    SettingsStore& store_;
    Expander& expander_;
    Clock& clock_;
    SystemClock& systemClock_;
    TypeText type_;
    TimeProtocolClient timeClient_;
};

}  // namespace ks
