#include "editors/CommandRecord.h"

#include <algorithm>

#include "core/Utf8.h"

namespace ks {

const CommandValueData* CommandRecord::find(std::string_view name) const {
    const auto value = std::ranges::find_if(
        values, [&](const CommandValue& v) { return utf8::sameName(v.name, name); });
    return value == values.end() ? nullptr : &value->data;
}

std::string CommandRecord::text(std::string_view name) const {
    const CommandValueData* data = find(name);
    if (!data) return {};
    if (const auto* number = std::get_if<std::uint32_t>(data)) {
        return std::to_string(static_cast<std::int32_t>(*number));
    }
    return std::get<std::string>(*data);
}

std::optional<std::uint32_t> CommandRecord::number(std::string_view name) const {
    const CommandValueData* data = find(name);
    if (!data || !std::holds_alternative<std::uint32_t>(*data)) return std::nullopt;
    return std::get<std::uint32_t>(*data);
}

void CommandRecord::set(std::string_view name, CommandValueData data) {
    const auto value = std::ranges::find_if(
        values, [&](const CommandValue& v) { return utf8::sameName(v.name, name); });
    if (value != values.end()) {
        value->data = std::move(data);
    } else {
        values.push_back({std::string(name), std::move(data)});
    }
}

}  // namespace ks
