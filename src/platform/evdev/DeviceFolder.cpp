#include "platform/evdev/DeviceFolder.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <libevdev/libevdev.h>

#include <array>
#include <cerrno>
#include <climits>
#include <ctime>
#include <filesystem>
#include <utility>

namespace ks::evdev {
namespace {

constexpr const char* kOwnDevicePrefix = "keystrider";

bool isEventNode(const std::string& name) {
    return name.rfind("event", 0) == 0;
}

bool isKeyboard(const libevdev* device) {
    for (unsigned code = KEY_ESC; code < BTN_MISC; ++code) {
        if (libevdev_has_event_code(device, EV_KEY, code)) return true;
    }
    return false;
}

bool isPointer(const libevdev* device) {
    return (libevdev_has_event_code(device, EV_REL, REL_X) &&
            libevdev_has_event_code(device, EV_REL, REL_Y)) ||
           libevdev_has_event_code(device, EV_KEY, BTN_LEFT);
}

// A notifier deleted inside its own signal would be used after it is gone:
// the event loop deletes it once the signal has returned.
struct LaterDeleter {
    void operator()(QObject* object) const { object->deleteLater(); }
};

}  // namespace

OpenedDevice openInputDevice(const std::string& path) {
    OpenedDevice opened;
    opened.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (opened.fd < 0) {
        opened.error = errno;
        return opened;
    }
    libevdev* device = nullptr;
    if (libevdev_new_from_fd(opened.fd, &device) < 0) return opened;
    opened.info.keyboard = isKeyboard(device);
    opened.info.pointer = isPointer(device);
    opened.info.synthetic = libevdev_get_id_bustype(device) == BUS_VIRTUAL;  // uinput
    const char* name = libevdev_get_name(device);
    opened.info.own = name != nullptr && std::string(name).rfind(kOwnDevicePrefix, 0) == 0;
    opened.info.lockLights = libevdev_has_event_code(device, EV_LED, LED_CAPSL) != 0;
    opened.info.capsLockLit = libevdev_get_event_value(device, EV_LED, LED_CAPSL) != 0;
    opened.info.numLockLit = libevdev_get_event_value(device, EV_LED, LED_NUML) != 0;
    // Time stamps on the monotonic clock do not jump when the wall clock is set.
    libevdev_set_clock_id(device, CLOCK_MONOTONIC);
    libevdev_free(device);
    return opened;
}

struct DeviceFolder::OpenDevice {
    Device device;
    int fd = -1;
    DeviceReader reader;
    std::unique_ptr<QSocketNotifier, LaterDeleter> notifier;

    ~OpenDevice() {
        notifier->setEnabled(false);
        ::close(fd);
    }
};

DeviceFolder::DeviceFolder(std::string path, DeviceOpener opener, Wanted wanted)
    : path_(std::move(path)), opener_(std::move(opener)), wanted_(wanted) {}

DeviceFolder::~DeviceFolder() {
    stop();
}

bool DeviceFolder::start(EventsHandler onEvents) {
    stop();
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0) return false;
    const auto mask = IN_CREATE | IN_ATTRIB | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM;
    if (inotify_add_watch(inotify_, path_.c_str(), mask) < 0) {
        if (errno == EACCES) ++deniedCount_;
        ::close(inotify_);
        inotify_ = -1;
        return false;
    }
    handler_ = std::move(onEvents);
    inotifyNotifier_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
    QObject::connect(inotifyNotifier_.get(), &QSocketNotifier::activated,
                     [this] { readNotices(); });
    scan();
    return true;
}

void DeviceFolder::stop() {
    handler_ = nullptr;
    openDevices_.clear();
    deniedCount_ = 0;
    if (inotify_ < 0) return;
    inotifyNotifier_->setEnabled(false);
    inotifyNotifier_.release()->deleteLater();
    ::close(inotify_);
    inotify_ = -1;
}

std::vector<DeviceInfo> DeviceFolder::devices() const {
    std::vector<DeviceInfo> out;
    for (const auto& [name, open] : openDevices_) out.push_back(open->device.info);
    return out;
}

void DeviceFolder::scan() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path_, error)) {
        tryOpen(entry.path().filename().string());
    }
}

void DeviceFolder::tryOpen(const std::string& name) {
    if (!isEventNode(name) || openDevices_.count(name) != 0) return;
    const OpenedDevice opened = opener_(path_ + "/" + name);
    if (opened.fd < 0) {
        if (opened.error == EACCES || opened.error == EPERM) ++deniedCount_;
        return;
    }
    const DeviceInfo& info = opened.info;
    const bool wanted =
        !info.own && (info.keyboard || (info.pointer && wanted_ == Wanted::KeyboardsAndPointers));
    if (!wanted) {
        ::close(opened.fd);
        return;
    }
    auto device = std::make_unique<OpenDevice>();
    device->device = {nextId_++, info};
    device->fd = opened.fd;
    device->notifier.reset(new QSocketNotifier(opened.fd, QSocketNotifier::Read));
    QObject::connect(device->notifier.get(), &QSocketNotifier::activated,
                     [this, name] { readDevice(name); });
    openDevices_[name] = std::move(device);
}

void DeviceFolder::close(const std::string& name) {
    const auto found = openDevices_.find(name);
    if (found == openDevices_.end()) return;
    events_.clear();
    found->second->reader.releaseAll(events_);
    const Device device = found->second->device;
    openDevices_.erase(found);
    hand(device);
}

void DeviceFolder::hand(const Device& device) {
    // The handler may stop the folder: it is called last, on a copy.
    if (events_.empty() || !handler_) return;
    const EventsHandler onEvents = handler_;
    onEvents(device, events_.data(), events_.size());
}

void DeviceFolder::readNotices() {
    alignas(inotify_event) std::array<char, 16 * (sizeof(inotify_event) + NAME_MAX + 1)> buffer;
    for (;;) {
        if (inotify_ < 0) return;
        const ssize_t got = ::read(inotify_, buffer.data(), buffer.size());
        if (got <= 0) return;
        // A handler called for a closed device may have stopped the folder.
        for (ssize_t at = 0; at < got && inotify_ >= 0;) {
            const auto* notice = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            const std::string name = notice->len > 0 ? notice->name : "";
            if (notice->mask & IN_Q_OVERFLOW) {
                scan();  // notices were lost: what is there now is what counts
            } else if (notice->mask & (IN_DELETE | IN_MOVED_FROM)) {
                close(name);
            } else {
                tryOpen(name);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
        }
    }
}

void DeviceFolder::readDevice(const std::string& name) {
    const auto found = openDevices_.find(name);
    if (found == openDevices_.end()) return;
    OpenDevice& open = *found->second;
    events_.clear();
    const DeviceReader::Status status = open.reader.read(open.fd, events_);
    const Device device = open.device;
    if (status == DeviceReader::Status::Gone) openDevices_.erase(found);
    hand(device);
}

}  // namespace ks::evdev
