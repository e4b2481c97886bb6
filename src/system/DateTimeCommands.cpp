#include "system/DateTimeCommands.h"

#include <array>
#include <cstdio>

namespace ks {

namespace {

constexpr std::array kIds{kSendTime, kSendDate, kSetClock};

}  // namespace

DateTimeCommands::DateTimeCommands(RunControl& run, Clock& clock, SystemClock& systemClock,
                                   TypeText type, TimeServers servers)
    : clock_(clock),
      systemClock_(systemClock),
      type_(std::move(type)),
      timeClient_(run, clock, std::move(servers)) {}

std::span<const CommandId> DateTimeCommands::ids() const {
    return kIds;
}

CommandResult DateTimeCommands::run(std::uint32_t id, CommandContext& command) {
    if (id == kSetClock) {
        setClock();
        return CommandResult::Next;
    }
    const auto parts = readParts(command);
    if (!parts) return CommandResult::Next;
    const auto& [utc, elements] = *parts;
    const std::time_t now = static_cast<std::time_t>(clock_.wallMillis() / 1000);
    type_(id == kSendDate ? FormatDateParts(elements, utc, now)
                          : FormatTimeParts(elements, utc, now));
    return CommandResult::Next;
}

std::optional<std::pair<bool, DateTimeParts>> DateTimeCommands::readParts(CommandContext& command) {
    const auto useUtc = command.number("UseGMT");
    if (!useUtc) return std::nullopt;
    DateTimeParts parts;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        auto part = readPart(*command.child(std::to_string(index)));
        if (!part) return std::nullopt;
        parts[index] = std::move(*part);
    }
    return std::pair(*useUtc == 1, std::move(parts));
}

std::optional<DateTimePart> DateTimeCommands::readPart(CommandContext& part) {
    const auto include = part.number("Include");
    if (!include) return std::nullopt;
    const auto order = part.number("Order");
    if (!order) return std::nullopt;
    const auto format = part.number("Format");
    if (!format) return std::nullopt;
    auto append = part.text("Append");
    if (!append) return std::nullopt;
    auto prepend = part.text("Prepend");
    if (!prepend) return std::nullopt;
    return DateTimePart{*include == 1, static_cast<std::int32_t>(*order),
                        static_cast<std::int32_t>(*format), std::move(*prepend),
                        std::move(*append)};
}

void DateTimeCommands::setClock() {
    const std::optional<std::int64_t> seconds = timeClient_.ask();
    if (!seconds) return;
    if (const Result set = systemClock_.setUtc(*seconds); !set) {
        std::fprintf(stderr, "Keystrider: setting the clock: %s\n", set.error().c_str());
    }
}

}  // namespace ks
