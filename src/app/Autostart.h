#pragma once

#include <QString>

#include "core/Result.h"

namespace ks {

// The desktop entry that starts the program with the user's desktop
// session: $XDG_CONFIG_HOME/autostart/org.quorvel.Keystrider.desktop.
QString autostartFile();

// Whether the entry is there and not switched off (Hidden=true, as desktops
// mark an entry the user turned off in their own settings).
bool startsWithDesktop();

// Writes the entry, starting `program`, or removes it.
Result setStartWithDesktop(bool on, const QString& program);

// `program` as a desktop entry's Exec key wants it: quoted when it holds a
// character the key reserves, percent signs doubled.
QString execValue(const QString& program);

}  // namespace ks
