#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/CommandId.h"
#include "core/Messages.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "platform/Clipboard.h"
#include "runner/RunControl.h"
#include "store/SettingsStore.h"

namespace ks {

// The clipboard commands and the commands that set and transform variables.
// Each handler reads its values under the command's key (`<macro>\Commands\<n>`,
// below Macros), shows what went wrong in a message box and never stops the
// macro. The clipboard is read while the run waits: the program stays
// responsive, and a stop ends the wait.
class TextCommands {
public:
    TextCommands(SettingsStore& store, Messages& messages, ExpansionEngine& expansion,
                 VariableTable& variables, Clipboard& clipboard, RunControl& run);

    // The commands this family answers to.
    static std::span<const CommandId> ids();
    void run(std::uint32_t id, std::string_view path);

private:
    void copyFromClipboard(std::string_view path);
    void pasteToClipboard(std::string_view path);
    void parseClipboard(std::string_view path);
    void setVariable(std::string_view path);
    // Sets the variable named by "VarName" to `transform` of its value.
    template <typename Transform>
    void transformVariable(std::string_view path, Transform transform);
    void replaceString(std::string_view path);

    std::optional<std::string> readExpanded(std::string_view path, const char* valueName);
    // The entry PASTE puts on the clipboard; a new one holds "DefPasteString".
    std::size_t pasteEntry(std::string_view path, std::string_view name);
    void showRetrieveError();
    // What the clipboard holds in the format `choose` picks; nothing when it
    // could not be read (shown) or the run was stopped meanwhile.
    std::optional<std::optional<ClipboardContent>> readClipboard(const ClipboardChoice& choose);

    SettingsStore& store_;
    Messages& messages_;
    ExpansionEngine& expansion_;
    VariableTable& variables_;
    Clipboard& clipboard_;
    RunControl& run_;
};

}  // namespace ks
