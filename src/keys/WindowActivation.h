#pragma once

#include "core/Messages.h"
#include "platform/WindowControl.h"

namespace ks {

// Brings a window to the front and shows it with the given show command,
// reporting each failure in a box titled "Error". The program's own windows
// are left as they are, without a box; the desktop cannot be attached to.
void activateWindow(WindowControl& windows, Messages& messages, WindowId window,
                    ShowCommand command);

}  // namespace ks
