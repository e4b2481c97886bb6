#pragma once

#include <functional>
#include <string>

#include "editors/ScreenPointPick.h"

class QWidget;

namespace ks {

class Shell;

// Called after a save with the saved macro's name and the name it replaced
// (empty for a new macro).
using MacroSaved = std::function<void(const std::string& saved, const std::string& replaced)>;

// Opens "Keystrider - Modify Macro" for `name` (empty: a new macro) over
// the main window. After a committed save the replaced macro's triggers go
// and the saved one's are registered, then `saved` is called. True when the
// editor closed with a save.
bool editMacro(Shell& shell, const std::string& name, QWidget& mainWindow, const MacroSaved& saved);

// What a screen-point pick of an editor opened from `mainWindow` works with.
PickServices pickServices(Shell& shell, QWidget& mainWindow);

}  // namespace ks
