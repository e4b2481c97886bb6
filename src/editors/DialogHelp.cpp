#include "editors/DialogHelp.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace ks {

void addHelpButton(QDialogButtonBox* buttons, const HelpAction& help) {
    if (!help) return;
    QPushButton* button = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    QObject::connect(button, &QPushButton::clicked, buttons, [help] { help(); });
}

QDialogButtonBox* okCancelButtons(QDialog* dialog, const HelpAction& help,
                                  const QString& cancelText) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(cancelText);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    addHelpButton(buttons, help);
    return buttons;
}

}  // namespace ks
