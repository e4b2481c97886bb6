#pragma once

#include <vector>

#include "editors/CommandRecord.h"
#include "editors/RecordingEditorModel.h"

namespace ks {

// What the editors' Copy and Cut keep for Paste. The application owns one
// for its whole run, so that rows copied in one editor can be pasted into
// another opened later.
struct EditorClipboards {
    std::vector<CommandRecord> commands;  // the macro editor's
    EventClipboard events;                // the recording editor's
};

}  // namespace ks
