#pragma once

#include <string>

#include "commands/CommandFamily.h"
#include "expand/Expander.h"
#include "store/SettingsStore.h"

namespace ks {

// A command's values as the store holds them, texts expanded as they are read.
class StoredCommand final : public CommandContext {
public:
    // `path` is the command's key below Macros (`<macro>\Commands\<n>`).
    StoredCommand(SettingsStore& store, Expander& expander, std::string path);

    const std::string& path() const override { return path_; }
    std::optional<std::string> text(std::string_view name) override;
    std::optional<std::string> storedText(std::string_view name) override;
    std::optional<std::string> quietText(std::string_view name) override;
    std::optional<std::uint32_t> number(std::string_view name) override;
    std::unique_ptr<CommandContext> child(std::string_view name) override;

private:
    SettingsStore& store_;
    Expander& expander_;
    std::string path_;
};

}  // namespace ks
