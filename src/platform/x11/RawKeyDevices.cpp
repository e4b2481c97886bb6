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

void dispatchRawKeyEvent(Display* display, int xinputOpcode, XEvent& event,
                         const RawKeyHandlers& handlers) {
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != xinputOpcode ||
        !XGetEventData(display, cookie)) {
        return;
    }
    if (cookie->evtype == XI_HierarchyChanged) {
        handlers.onHierarchyChanged();
    } else if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        handlers.onKey({raw->detail, raw->evtype == XI_RawKeyPress, raw->sourceid});
    }
    XFreeEventData(display, cookie);
}

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

}  // namespace ks::x11
