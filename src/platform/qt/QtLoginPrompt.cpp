#include "platform/qt/QtLoginPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace ks {

namespace {

constexpr int kWantedCheckMs = 100;

}  // namespace

std::optional<ShareLogin> QtLoginPrompt::ask(const std::string& root,
                                             const std::function<bool()>& wanted) {
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
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &dialog, [&] {
        if (!wanted()) dialog.reject();
    });
    watch.start(kWantedCheckMs);
    if (dialog.exec() != QDialog::Accepted || !wanted()) return std::nullopt;
    return ShareLogin{user->text().toStdString(), password->text().toStdString()};
}

}  // namespace ks
