#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "expand/Expander.h"
#include "store/SettingsStore.h"

namespace ks {

// A text value of the command at `commandPath` (`<macro>\Commands\<n>`,
// below Macros), expanded; nothing when the store cannot read it, which the
// store has then reported.
std::optional<std::string> readExpandedText(SettingsStore& store, Expander& expander,
                                            std::string_view commandPath, const char* valueName);

// A number value of the command at `commandPath`; nothing when the store cannot read it.
std::optional<std::uint32_t> readCommandNumber(SettingsStore& store, std::string_view commandPath,
                                               const char* valueName);

}  // namespace ks
