#pragma once

#include <memory>

#include "XvfbSession.h"

namespace ks::test {

// trayer as the display's notification area (one icon wide, at the top
// right), started and waited for until it holds the area's selection.
std::unique_ptr<ChildProcess> startTray(const XvfbSession& xvfb);

}  // namespace ks::test
