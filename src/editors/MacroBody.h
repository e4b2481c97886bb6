#pragma once

#include <optional>
#include <vector>

#include "core/Messages.h"
#include "editors/CommandRecord.h"

namespace ks {

// Rows of the body list, ascending; the editing operations keep it on the
// rows they moved or kept.
using RowSelection = std::vector<int>;

// A macro's command list as the editor changes it. The operations check the
// selection, say what is wrong through `messages` and set the modified flag
// when the list changed.
class MacroBody {
public:
    explicit MacroBody(std::vector<CommandRecord> commands = {}) : commands_(std::move(commands)) {}

    const std::vector<CommandRecord>& commands() const { return commands_; }
    bool modified() const { return modified_; }

    // Before the first selected row, or at the end; the row's index.
    int insert(CommandRecord command, const RowSelection& selection);
    void remove(RowSelection& selection, Messages& messages, bool ask = true);
    void move(RowSelection& selection, int step, Messages& messages);
    // Copy and Cut replace what `clipboard` held with the selected commands.
    void copy(const RowSelection& selection, std::vector<CommandRecord>& clipboard,
              Messages& messages) const;
    void cut(RowSelection& selection, std::vector<CommandRecord>& clipboard, Messages& messages);
    void paste(RowSelection& selection, const std::vector<CommandRecord>& clipboard,
               Messages& messages);
    // The one row Edit may change, or nothing (said why).
    std::optional<int> editableRow(const RowSelection& selection, Messages& messages) const;
    void replace(int row, CommandRecord command);

private:
    std::vector<CommandRecord> commands_;
    bool modified_ = false;
};

// Whether a command type has values to enter: it opens a dialog when added
// and can be edited.
bool hasParameters(std::uint32_t id);

}  // namespace ks
