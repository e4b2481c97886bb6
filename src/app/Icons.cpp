#include "app/Icons.h"

namespace ks {

QIcon programIcon() {
    QIcon own;
    for (const int size : {16, 22, 32, 48, 64, 128}) {
        own.addFile(QStringLiteral(":/icons/%1x%1/apps/keystrider.png").arg(size));
    }
    return QIcon::fromTheme(QStringLiteral("keystrider"), own);
}

QIcon trayIcon() {
    return QIcon::fromTheme(QStringLiteral("keystrider-symbolic"), programIcon());
}

}  // namespace ks
