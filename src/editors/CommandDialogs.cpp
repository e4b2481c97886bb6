#include "core/CommandId.h"
#include "editors/DateTimeDialog.h"
#include "editors/ParameterDialog.h"
#include "editors/PlaybackDialog.h"
#include "editors/PromptDialog.h"

namespace ks {

namespace {

template <typename Dialog>
bool confirmed(Dialog& dialog, CommandRecord& record) {
    if (dialog.exec() != QDialog::Accepted) return false;
    record = dialog.record();
    return true;
}

}  // namespace

std::function<void()> helpFor(const ParameterHooks& hooks, std::uint32_t command) {
    return [&sources = hooks.sources, command] { sources.showHelp(command); };
}

bool editParameters(CommandRecord& record, Messages& messages, const ParameterHooks& hooks,
                    QWidget* parent) {
    if (record.id == kPlaybackRecording) {
        PlaybackDialog dialog(hooks.sources.recordings(), record, messages, parent,
                              helpFor(hooks, record.id));
        return confirmed(dialog, record);
    }
    if (record.id == kSendDate || record.id == kSendTime) {
        DateTimeDialog dialog(record, messages, parent, helpFor(hooks, record.id));
        return confirmed(dialog, record);
    }
    if (record.id == kPromptUser) {
        PromptDialog dialog(record, messages, &hooks.dialogs, parent, helpFor(hooks, record.id));
        return confirmed(dialog, record);
    }
    const ParameterSpec* spec = parameterSpec(record.id);
    if (!spec) return false;
    ParameterDialog dialog(*spec, record, messages, hooks, parent);
    return confirmed(dialog, record);
}

}  // namespace ks
