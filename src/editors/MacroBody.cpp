#include "editors/MacroBody.h"

#include <algorithm>

#include "core/CommandId.h"
#include "editors/ParameterTable.h"

namespace ks {

namespace {

// More selected rows than this are left as they are.
constexpr std::size_t kMaxHandledRows = 10000;

RowSelection handled(const RowSelection& selection) {
    RowSelection rows(selection.begin(),
                      selection.begin() + std::min(selection.size(), kMaxHandledRows));
    std::ranges::sort(rows);
    return rows;
}

void attention(Messages& messages, const char* text, MsgIcon icon = MsgIcon::None) {
    messages.show(text, "Attention", icon);
}

}  // namespace

bool hasParameters(std::uint32_t id) {
    switch (id) {
        case kPlaybackRecording:
        case kSendDate:
        case kSendTime:
        case kPromptUser: return true;
        default: return parameterSpec(id) != nullptr;
    }
}

int MacroBody::insert(CommandRecord command, const RowSelection& selection) {
    const int at = selection.empty() ? static_cast<int>(commands_.size())
                                     : *std::ranges::min_element(selection);
    commands_.insert(commands_.begin() + at, std::move(command));
    modified_ = true;
    return at;
}

void MacroBody::remove(RowSelection& selection, Messages& messages, bool ask) {
    if (selection.empty()) return attention(messages, "No command selected!");
    if (ask && messages.show("Are you sure you want to delete the selected command(s)?",
                             "Keystrider - Warning", MsgIcon::Question,
                             MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    const RowSelection rows = handled(selection);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        commands_.erase(commands_.begin() + *row);
    }
    selection.clear();
    modified_ = true;
}

void MacroBody::move(RowSelection& selection, int step, Messages& messages) {
    if (selection.empty()) {
        return attention(messages, "No command(s) selected!", MsgIcon::Exclamation);
    }
    RowSelection rows = handled(selection);
    if (step < 0 ? rows.front() == 0 : rows.back() + 1 == static_cast<int>(commands_.size())) {
        return;
    }
    // Walk from the side the rows move towards, so each swaps with an unselected neighbour.
    if (step > 0) std::ranges::reverse(rows);
    for (int& row : rows) {
        std::swap(commands_[static_cast<std::size_t>(row)],
                  commands_[static_cast<std::size_t>(row + step)]);
        row += step;
    }
    std::ranges::sort(rows);
    selection = rows;
    modified_ = true;
}

void MacroBody::copy(const RowSelection& selection, std::vector<CommandRecord>& clipboard,
                     Messages& messages) const {
    if (selection.empty()) return attention(messages, "No command(s) selected!");
    clipboard.clear();
    for (const int row : handled(selection)) {
        clipboard.push_back(commands_[static_cast<std::size_t>(row)]);
    }
}

void MacroBody::cut(RowSelection& selection, std::vector<CommandRecord>& clipboard,
                    Messages& messages) {
    if (selection.empty()) return attention(messages, "No command(s) selected!");
    copy(selection, clipboard, messages);
    remove(selection, messages, false);
}

void MacroBody::paste(RowSelection& selection, const std::vector<CommandRecord>& clipboard,
                      Messages& messages) {
    if (selection.size() > 1) {
        return attention(messages,
                         "Please select only one command to paste currently copied commands ahead "
                         "of or de-select all commands to paste to the end!");
    }
    const int at = selection.empty() ? static_cast<int>(commands_.size()) : selection.front();
    commands_.insert(commands_.begin() + at, clipboard.begin(), clipboard.end());
    if (!selection.empty()) selection.front() += static_cast<int>(clipboard.size());
    modified_ = true;
}

std::optional<int> MacroBody::editableRow(const RowSelection& selection, Messages& messages) const {
    if (selection.empty()) {
        attention(messages, "No command selected!");
    } else if (selection.size() > 1) {
        attention(messages, "Please select only one command to be edited!");
    } else if (!hasParameters(commands_[static_cast<std::size_t>(selection.front())].id)) {
        attention(messages, "Instruction has no properties to change.");
    } else {
        return selection.front();
    }
    return std::nullopt;
}

void MacroBody::replace(int row, CommandRecord command) {
    commands_[static_cast<std::size_t>(row)] = std::move(command);
    modified_ = true;
}

}  // namespace ks
