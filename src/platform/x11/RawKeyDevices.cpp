#include "platform/x11/RawKeyDevices.h"

#include <cstring>

// clang-format off
// After this program's headers: Xlib's macros would shadow their names.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
// clang-format on

namespace ks::x11 {

RawKeyDevices queryRawKeyDevices(Display* display) {
    RawKeyDevices found;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (std::strstr(devices[i].name, "XTEST") != nullptr) {
            found.synthetic.insert(devices[i].deviceid);
        } else if (devices[i].use == XISlaveKeyboard) {
            found.physicalKeyboards.push_back(devices[i].deviceid);
        }
    }
    XIFreeDeviceInfo(devices);
    return found;
}

bool queryXInput2(Display* display, int minor, int& opcode) {
    int event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return false;
    int major = 2;
    return XIQueryVersion(display, &major, &minor) == Success;
}

namespace {

std::unique_ptr<QSocketNotifier> connectionNotifier(Display* display,
                                                    std::function<void()> onReadable) {
    auto notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    notifier->setEnabled(false);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [onReadable = std::move(onReadable)] { onReadable(); });
    return notifier;
}

void discardPendingEvents(Display* display) {
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XFreeEventData(display, &event.xcookie);
    }
}

}  // namespace

bool RawKeyConnection::open(const std::string& name, int minor,
                            const std::function<bool(Display*)>& prepare,
                            std::function<void()> onReadable) {
    if (display_) return true;
    OwnDisplay opened = openOwnDisplay(name);
    if (!opened || !queryXInput2(opened.get(), minor, xinputOpcode_) ||
        (prepare && !prepare(opened.get()))) {
        return false;
    }
    display_ = std::move(opened);
    notifier_ = connectionNotifier(display_.get(), std::move(onReadable));
    return true;
}

void RawKeyConnection::dispatch(XEvent& event, const RawKeyHandlers& handlers) const {
    Display* d = display_.get();
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != xinputOpcode_ ||
        !XGetEventData(d, cookie)) {
        return;
    }
    if (cookie->evtype == XI_HierarchyChanged) {
        handlers.onHierarchyChanged();
    } else if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        handlers.onKey({raw->detail, raw->evtype == XI_RawKeyPress, raw->sourceid});
    }
    XFreeEventData(d, cookie);
}

void RawKeyConnection::resume() {
    notifier_->setEnabled(true);
}

void RawKeyConnection::pause(const std::function<void()>& deselect) {
    notifier_->setEnabled(false);
    deselect();
    discardPendingEvents(display_.get());
}

}  // namespace ks::x11
