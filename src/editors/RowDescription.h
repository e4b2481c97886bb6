#pragma once

#include <string>

#include "editors/CommandRecord.h"

namespace ks {

// The text of a command's row in the macro body list: its name, with the
// values that tell one command of its type from another.
std::string rowDescription(const CommandRecord& command);

}  // namespace ks
