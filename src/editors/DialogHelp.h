#pragma once

#include <functional>

class QDialogButtonBox;

namespace ks {

// Opens the user guide at the dialog's own section.
using HelpAction = std::function<void()>;

// Adds "&Help" to a dialog's buttons; without an action the dialog has none.
void addHelpButton(QDialogButtonBox* buttons, const HelpAction& help);

}  // namespace ks
