#include "platform/qt/QtLoginPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace ks {

std::optional<ShareLogin> QtLoginPrompt::ask(const std::string& root) {
    QDialog dialog;
    dialog.setWindowTitle("Connect to Share");
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(new QLabel(QString::fromStdString(root)));
    auto* user = new QLineEdit;
    layout->addRow("&User name:", user);
    auto* password = new QLineEdit;
    password->setEchoMode(QLineEdit::Password);
    layout->addRow("&Password:", password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ShareLogin{user->text().toStdString(), password->text().toStdString()};
}

}  // namespace ks
