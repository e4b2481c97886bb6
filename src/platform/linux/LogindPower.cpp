#include "platform/linux/LogindPower.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace ks {
namespace {

// Sent without waiting for the reply: the system may be closing down
// before one comes, and a refusal is not reported.
void callManager(const char* method) {
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", method);
    call << false;  // not interactive: no authentication dialog
    QDBusConnection::systemBus().send(call);
}

}  // namespace

void LogindPower::powerOff() {
    callManager("PowerOff");
}

void LogindPower::reboot() {
    callManager("Reboot");
}

}  // namespace ks
