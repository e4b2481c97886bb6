#pragma once

namespace ks::x11 {

// Whether `window` was made on Qt's own X connection: the main window, the
// dialogs, the tray icon, and hidden helpers such as the clipboard's
// selection owner, which carry no _NET_WM_PID. False without a Qt GUI on X.
bool madeOnToolkitConnection(unsigned long window);

}  // namespace ks::x11
