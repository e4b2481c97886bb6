#include "platform/qt/QtMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace ks {
namespace {

QMessageBox::Icon toQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Stop: return QMessageBox::Critical;
        case MsgIcon::Exclamation: return QMessageBox::Warning;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok: return QMessageBox::Ok;
        case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

MsgAnswer fromQtButton(int button) {
    switch (button) {
        case QMessageBox::Ok: return MsgAnswer::Ok;
        case QMessageBox::Yes: return MsgAnswer::Yes;
        case QMessageBox::No: return MsgAnswer::No;
        case QMessageBox::Retry: return MsgAnswer::Retry;
        case QMessageBox::Abort: return MsgAnswer::Abort;
        case QMessageBox::Ignore: return MsgAnswer::Ignore;
        default: return MsgAnswer::Cancel;
    }
}

}  // namespace

// A box belongs to the modal dialog that is open, such as an import's
// progress, so that the window manager stacks it above that dialog; a box
// without an owner may open behind the main window and the program looks hung.
QWidget* QtMessages::ownerOf(MsgOwner owner) const {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible()) return modal;
    return owner == MsgOwner::MainWindow ? mainWindow_ : nullptr;
}

MsgAnswer QtMessages::show(const MessageBox& box) {
    std::fprintf(stderr, "%s\n", messageLine(box).c_str());
    std::fflush(stderr);
    QMessageBox dialog(toQtIcon(box.icon), QString::fromStdString(box.title),
                       QString::fromStdString(box.text), toQtButtons(box.buttons),
                       ownerOf(box.owner));
    if (box.owner == MsgOwner::SystemModal) {
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    // Once it shows, it comes forward with the focus.
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    return fromQtButton(dialog.exec());
}

}  // namespace ks
