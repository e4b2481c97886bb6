#include "expand/StoredCommand.h"

#include "store/StoreKey.h"

namespace ks {

StoredCommand::StoredCommand(SettingsStore& store, Expander& expander, std::string path)
    : store_(store), expander_(expander), path_(std::move(path)) {}

std::optional<std::string> StoredCommand::text(std::string_view name) {
    std::optional<std::string> value = storedText(name);
    if (value) expander_.Expand(*value);
    return value;
}

std::optional<std::string> StoredCommand::storedText(std::string_view name) {
    std::string text;
    if (!store_.ReadMacroString(path_, name, text)) return std::nullopt;
    return text;
}

std::optional<std::string> StoredCommand::quietText(std::string_view name) {
    std::optional<std::string> value =
        store_.GetText(StoreKey::macros().child(path_).direct(), name);
    if (value) expander_.Expand(*value);
    return value;
}

std::optional<std::uint32_t> StoredCommand::number(std::string_view name) {
    return store_.ReadDword(StoreKey::macros().child(path_).rootSubpath(), name);
}

std::unique_ptr<CommandContext> StoredCommand::child(std::string_view name) {
    return std::make_unique<StoredCommand>(store_, expander_, childSubpath(path_, name));
}

}  // namespace ks
