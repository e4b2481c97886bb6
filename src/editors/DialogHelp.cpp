#include "editors/DialogHelp.h"

#include <QDialogButtonBox>
#include <QPushButton>

namespace ks {

void addHelpButton(QDialogButtonBox* buttons, const HelpAction& help) {
    if (!help) return;
    QPushButton* button = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    QObject::connect(button, &QPushButton::clicked, buttons, [help] { help(); });
}

}  // namespace ks
