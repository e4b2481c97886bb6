#pragma once

#include <optional>
#include <string>

#include "commands/KeyDisplayName.h"
#include "editors/CommandRecord.h"

namespace ks {

// The text of a command's row in the macro body list: its name with its
// main values (texts in quotation marks, long ones cut with an ellipsis),
// so that one command of a type is told from another.
std::string rowDescription(const CommandRecord& command, KeyDisplayNames& keys);

// The first bracketed reference ("[greeting]") in the command's texts, if
// any: with expansion off it runs as written, which the editor says.
std::optional<std::string> bracketedReference(const CommandRecord& command);

}  // namespace ks
