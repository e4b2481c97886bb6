#pragma once

#include "core/Messages.h"

class QWidget;

namespace ks {

// Shows real QMessageBoxes and mirrors each on standard error.
class QtMessages final : public Messages {
public:
    using Messages::show;
    // The window that owns boxes shown with MsgOwner::MainWindow; may be null.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    MsgAnswer show(const MessageBox& box) override;

private:
    QWidget* ownerOf(MsgOwner owner) const;

    QWidget* mainWindow_ = nullptr;
};

}  // namespace ks
