#include "system/DateTimeCommands.h"

#include <array>
#include <cstdio>

#include "expand/CommandValues.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr std::array kIds{kSendTime, kSendDate, kSetClock};

}  // namespace

DateTimeCommands::DateTimeCommands(SettingsStore& store, Expander& expander, RunControl& run,
                                   Clock& clock, SystemClock& systemClock, TypeText type,
                                   TimeServers servers)
    : store_(store),
      expander_(expander),
      clock_(clock),
      systemClock_(systemClock),
      type_(std::move(type)),
      timeClient_(run, clock, std::move(servers)) {}

std::span<const CommandId> DateTimeCommands::ids() {
    return kIds;
}

void DateTimeCommands::run(std::uint32_t id, std::string_view path) {
    if (id == kSetClock) return setClock();
    const auto parts = readParts(path);
    if (!parts) return;
    const auto& [utc, elements] = *parts;
    const std::time_t now = static_cast<std::time_t>(clock_.wallMillis() / 1000);
    type_(id == kSendDate ? FormatDateParts(elements, utc, now)
                          : FormatTimeParts(elements, utc, now));
}

std::optional<std::pair<bool, DateTimeParts>> DateTimeCommands::readParts(std::string_view path) {
    const auto useUtc = readCommandNumber(store_, path, "UseGMT");
    if (!useUtc) return std::nullopt;
    DateTimeParts parts;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        auto part = readPart(childSubpath(path, std::to_string(index)));
        if (!part) return std::nullopt;
        parts[index] = std::move(*part);
    }
    return std::pair(*useUtc == 1, std::move(parts));
}

std::optional<DateTimePart> DateTimeCommands::readPart(const std::string& partPath) {
    const auto include = readCommandNumber(store_, partPath, "Include");
    if (!include) return std::nullopt;
    const auto order = readCommandNumber(store_, partPath, "Order");
    if (!order) return std::nullopt;
    const auto format = readCommandNumber(store_, partPath, "Format");
    if (!format) return std::nullopt;
    auto append = readExpandedText(store_, expander_, partPath, "Append");
    if (!append) return std::nullopt;
    auto prepend = readExpandedText(store_, expander_, partPath, "Prepend");
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
