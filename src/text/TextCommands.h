#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/CommandFamily.h"
#include "core/Messages.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "platform/Clipboard.h"
#include "runner/RunControl.h"

namespace ks {

// The clipboard commands and the commands that set and transform variables.
// Each shows what went wrong in a message box and never stops the macro. The
// clipboard is read while the run waits: the program stays responsive, and a
// stop ends the wait.
class TextCommands final : public CommandFamily {
public:
    TextCommands(Messages& messages, ExpansionEngine& expansion, VariableTable& variables,
                 Clipboard& clipboard, RunControl& run);

    std::span<const CommandId> ids() const override;
    CommandResult run(std::uint32_t id, CommandContext& command) override;

private:
    void copyFromClipboard(CommandContext& command);
    void pasteToClipboard(CommandContext& command);
    void parseClipboard(CommandContext& command);
    void setVariable(CommandContext& command);
    // Sets the variable named by "VarName" to `transform` of its value.
    template <typename Transform>
    void transformVariable(CommandContext& command, Transform transform);
    void replaceString(CommandContext& command);

    // The entry PASTE puts on the clipboard; a new one holds "DefPasteString".
    std::size_t pasteEntry(CommandContext& command, std::string_view name);
    void showRetrieveError();
    // What the clipboard holds in the format `choose` picks; nothing when it
    // could not be read (shown) or the run was stopped meanwhile.
    std::optional<std::optional<ClipboardContent>> readClipboard(const ClipboardChoice& choose);

    Messages& messages_;
    ExpansionEngine& expansion_;
    VariableTable& variables_;
    Clipboard& clipboard_;
    RunControl& run_;
};

}  // namespace ks
