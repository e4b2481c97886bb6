#include "platform/linux/UDisksDrives.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QMap>
#include <QVariantMap>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

using UDisksInterfaces = QMap<QString, QVariantMap>;
using UDisksObjects = QMap<QDBusObjectPath, UDisksInterfaces>;
Q_DECLARE_METATYPE(UDisksInterfaces)
Q_DECLARE_METATYPE(UDisksObjects)

namespace ks {
namespace {

const char* const kService = "org.freedesktop.UDisks2";
const char* const kBlock = "org.freedesktop.UDisks2.Block";
const char* const kDrive = "org.freedesktop.UDisks2.Drive";

UDisksObjects managedObjects() {
    qDBusRegisterMetaType<UDisksInterfaces>();
    qDBusRegisterMetaType<UDisksObjects>();
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, "/org/freedesktop/UDisks2",
                                       "org.freedesktop.DBus.ObjectManager", "GetManagedObjects");
    const QDBusReply<UDisksObjects> reply = QDBusConnection::systemBus().call(call);
    return reply.isValid() ? reply.value() : UDisksObjects{};
}

bool isOptical(const QVariantMap& drive, const QString& device) {
    const QStringList media = drive.value("MediaCompatibility").toStringList();
    return device.startsWith("/dev/sr") ||
           std::any_of(media.begin(), media.end(),
                       [](const QString& kind) { return kind.startsWith("optical"); });
}

class Descriptor {
public:
    explicit Descriptor(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::vector<UDisksDrives::Drive> UDisksDrives::list() {
    const UDisksObjects objects = managedObjects();
    std::vector<Drive> drives;
    // The map is ordered by object path, and a block device's path ends in
    // its kernel name: sr0 comes before sr1.
    for (auto at = objects.begin(); at != objects.end(); ++at) {
        const auto block = at->find(kBlock);
        if (block == at->end()) continue;
        const QString drivePath = block->value("Drive").value<QDBusObjectPath>().path();
        const auto drive = objects.find(QDBusObjectPath(drivePath));
        if (drive == objects.end() || !drive->contains(kDrive)) continue;
        const QString device = QString::fromUtf8(block->value("Device").toByteArray().constData());
        if (!isOptical(drive->value(kDrive), device)) continue;
        const bool listed = std::any_of(drives.begin(), drives.end(), [&](const Drive& known) {
            return known.object == drivePath.toStdString();
        });
        if (!listed) drives.push_back({drivePath.toStdString(), device.toStdString()});
    }
    return drives;
}

void UDisksDrives::openTray(std::size_t drive) {
    const std::vector<Drive> drives = list();
    if (drive >= drives.size()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QString::fromStdString(drives[drive].object), kDrive, "Eject");
    call << QVariantMap{};
    QDBusConnection::systemBus().call(call);
}

void UDisksDrives::closeTray(std::size_t drive) {
    const std::vector<Drive> drives = list();
    if (drive >= drives.size()) return;
    const Descriptor device(drives[drive].device);
    if (device.get() >= 0) ::ioctl(device.get(), CDROMCLOSETRAY);
}

}  // namespace ks
