#pragma once

#include "core/Messages.h"
#include "platform/WindowControl.h"

namespace ks {

// Whether the program's own windows may be acted on after attaching.
enum class OwnWindows { Allowed, Refused };

// Joins this program's input to the window's before acting on it, refusing
// the desktop and, when asked, the program's own windows, each with its box.
// True when attached; the caller then detaches (WindowControl::detachInput)
// when it is done. The program's own windows share its input already:
// allowed, they need no attach.
bool AttachToWindowThread(WindowControl& windows, Messages& messages, WindowId window,
                          OwnWindows own);

}  // namespace ks
