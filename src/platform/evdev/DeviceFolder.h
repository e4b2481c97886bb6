#pragma once

#include <QSocketNotifier>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/evdev/EventDecoder.h"

namespace ks::evdev {

// What an input device is to the watches.
struct DeviceInfo {
    bool keyboard = false;
    bool pointer = false;
    // Made through uinput by some program: its keys are synthesised.
    bool synthetic = false;
    // One of this program's own devices, which no watch reads.
    bool own = false;
    // The lock lights when it was opened: the display server lights them
    // as its locks are.
    bool lockLights = false;
    bool capsLockLit = false;
    bool numLockLit = false;
};

// A device node opened for reading (non-blocking), or the error number of
// the attempt, with what the device is.
struct OpenedDevice {
    int fd = -1;
    int error = 0;
    DeviceInfo info;
};
using DeviceOpener = std::function<OpenedDevice(const std::string& path)>;

// Opens a device node of the kernel, tells what it is through libevdev and
// asks the kernel to stamp its events with the monotonic clock.
OpenedDevice openInputDevice(const std::string& path);

// Follows the input devices in a folder (/dev/input) on the thread that
// starts it: opens each keyboard or pointer that is there or appears
// (inotify), hands their events over as they come, and closes a device when
// it goes away (releasing the keys it held), to open it again when it comes
// back. The device nodes appear
// before udev gives the user access to them, so a change of a node's
// attributes is a reason to try it again.
class DeviceFolder {
public:
    struct Device {
        int id = 0;  // unique while the folder is watched
        DeviceInfo info;
    };
    enum class Wanted : std::uint8_t { Keyboards, KeyboardsAndPointers };
    using EventsHandler =
        std::function<void(const Device&, const DeviceEvent* events, std::size_t count)>;

    DeviceFolder(std::string path, DeviceOpener opener, Wanted wanted);
    ~DeviceFolder();
    DeviceFolder(const DeviceFolder&) = delete;
    DeviceFolder& operator=(const DeviceFolder&) = delete;

    // Opens the devices there now and follows the folder; false when the
    // folder cannot be followed. The handler may call stop().
    bool start(EventsHandler onEvents);
    void stop();

    // Whether devices are there that the user may not read, and none that
    // the user may: the user lacks the right to the input devices.
    bool accessDenied() const { return openDevices_.empty() && deniedCount_ > 0; }
    std::size_t openCount() const { return openDevices_.size(); }
    std::vector<DeviceInfo> devices() const;

private:
    struct OpenDevice;

    void scan();
    void tryOpen(const std::string& name);
    void close(const std::string& name);
    void readNotices();
    void readDevice(const std::string& name);
    // Hands events_ of `device` to the handler.
    void hand(const Device& device);

    std::string path_;
    DeviceOpener opener_;
    Wanted wanted_;
    EventsHandler handler_;
    int inotify_ = -1;
    std::unique_ptr<QSocketNotifier> inotifyNotifier_;
    std::map<std::string, std::unique_ptr<OpenDevice>> openDevices_;
    std::size_t deniedCount_ = 0;
    int nextId_ = 1;
    std::vector<DeviceEvent> events_;
};

}  // namespace ks::evdev
