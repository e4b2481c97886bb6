#pragma once

#include <string>

#include "core/Messages.h"

namespace ks {

// Expansion and expression failures: a box with no owner, titled "Error".
inline void showExpansionError(Messages& messages, std::string text) {
    messages.show(std::move(text), "Error", MsgIcon::Stop);
}

}  // namespace ks
