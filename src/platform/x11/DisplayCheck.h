#pragma once

#include <string>

#include "platform/ScreenSize.h"

namespace ks::x11 {

// Whether an X display can be reached ($DISPLAY when `name` is empty);
// otherwise `reason` says why in one line.
bool displayReachable(const std::string& name, std::string& reason);

// The size of the default screen of an X display ($DISPLAY when `name` is
// empty); 0 × 0 when it cannot be reached.
ScreenSize defaultScreenSize(const std::string& name);

}  // namespace ks::x11
