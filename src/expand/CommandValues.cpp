#include "expand/CommandValues.h"

#include "store/StoreKey.h"

namespace ks {

std::optional<std::string> readExpandedText(SettingsStore& store, Expander& expander,
                                            std::string_view commandPath, const char* valueName) {
    std::string text;
    if (!store.ReadMacroString(commandPath, valueName, text)) return std::nullopt;
    expander.Expand(text);
    return text;
}

std::optional<std::uint32_t> readCommandNumber(SettingsStore& store, std::string_view commandPath,
                                               const char* valueName) {
    return store.ReadDword(StoreKey::macros().child(commandPath).rootSubpath(), valueName);
}

}  // namespace ks
