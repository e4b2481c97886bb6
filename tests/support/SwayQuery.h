#pragma once

#include <QJsonDocument>

#include <string>

#include "WaylandSession.h"

namespace ks::test {

// sway's answer to an IPC message of `type` (get_tree, get_outputs), asked
// through swaymsg; an empty document when none came.
QJsonDocument askSway(const WaylandSession& session, const std::string& type);

// Whether sway has given the keyboard focus to a window of `appId`. A
// program gets keys only once it has; foot crashes on keys that come while
// it still starts up.
bool hasFocus(const WaylandSession& session, const std::string& appId);

}  // namespace ks::test
