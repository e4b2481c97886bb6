#pragma once

#include <functional>

class QDialog;
class QDialogButtonBox;
class QString;

namespace ks {

// Opens the user guide at the dialog's own section.
using HelpAction = std::function<void()>;

// Adds "&Help" to a dialog's buttons; without an action the dialog has none.
void addHelpButton(QDialogButtonBox* buttons, const HelpAction& help);

// A dialog's "&OK" and `cancelText` buttons, which accept and reject it,
// with "&Help" when there is an action for it.
QDialogButtonBox* okCancelButtons(QDialog* dialog, const HelpAction& help,
                                  const QString& cancelText);

}  // namespace ks
