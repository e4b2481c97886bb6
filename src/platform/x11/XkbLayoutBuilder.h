#pragma once

#include <vector>

#include "platform/KeyLayout.h"
#include "platform/x11/XConnection.h"
#include "platform/xkb/XkbKeyLayout.h"

namespace ks::x11 {

// The keys of the server's current keyboard map, in the active group.
std::vector<KeyDescription> describeKeys(Display* display);

// The layout of the server's current keyboard map.
KeyLayout currentKeyLayout(Display* display);

}  // namespace ks::x11
