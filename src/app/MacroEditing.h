#pragma once

#include <functional>
#include <string>

class QWidget;

namespace ks {

class Shell;

// Called after a save with the saved macro's name and the name it replaced
// (empty for a new macro).
using MacroSaved = std::function<void(const std::string& saved, const std::string& replaced)>;

// Opens "Keystrider - Modify Macro" for `name` (empty: a new macro). After a
// committed save the replaced macro's triggers go and the saved one's are
// registered, then `saved` is called. True when the editor closed with a save.
bool EditMacro(Shell& shell, const std::string& name, QWidget* parent, const MacroSaved& saved);

}  // namespace ks
