#pragma once

#include "core/Messages.h"
#include "platform/WindowControl.h"

namespace ks {

// Joins this program's input to the window's before a command acts on it,
// refusing the desktop and the program's own windows, each with its box.
// True when attached; the caller then detaches (WindowControl::detachInput)
// when it is done. (The hand-over to a running copy, the one caller that
// would let the program's own windows through, goes through a local socket
// on Linux.)
bool AttachToWindowThread(WindowControl& windows, Messages& messages, WindowId window);

}  // namespace ks
