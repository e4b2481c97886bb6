#pragma once

#include <QIcon>

namespace ks {

// The program's icon from the desktop's icon theme, else its own copy.
QIcon programIcon();
// The notification-area icon: the theme's symbolic one, drawn in the
// panel's colours, where the theme has it; the program's icon otherwise.
QIcon trayIcon();

}  // namespace ks
