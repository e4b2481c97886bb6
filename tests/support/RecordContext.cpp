#include "RecordContext.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/Xlib.h>
#include <X11/extensions/record.h>

namespace ks::test {

bool createDeviceEventContext(x11::RecordConnections& pair) {
    int major = 0, minor = 0;
    if (!pair.control || !pair.data || !XRecordQueryVersion(pair.control, &major, &minor)) {
        return false;
    }
    XRecordRange* range = XRecordAllocRange();
    range->device_events.first = KeyPress;
    range->device_events.last = MotionNotify;
    XRecordClientSpec clients = XRecordAllClients;
    pair.context = XRecordCreateContext(pair.control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(pair.control, False);
    return pair.context != 0;
}

}  // namespace ks::test
