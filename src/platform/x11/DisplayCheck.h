#pragma once

#include <string>

namespace ks::x11 {

// Whether an X display can be reached ($DISPLAY when `name` is empty);
// otherwise `reason` says why in one line.
bool displayReachable(const std::string& name, std::string& reason);

}  // namespace ks::x11
