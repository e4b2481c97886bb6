#include "platform/x11/RecordContext.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/extensions/record.h>
#include <poll.h>

namespace ks::x11 {

bool createDeviceEventContext(RecordConnections& pair) {
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

void processRecordReplies(RecordConnections& pair) {
    // The X server hands recorded data over only when it writes to some
    // client; a round trip on the control connection makes it write.
    XSync(pair.control, False);
    XRecordProcessReplies(pair.data);
}

bool processRecordRepliesUntil(RecordConnections& pair, const std::function<bool()>& done,
                               std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    processRecordReplies(pair);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{ConnectionNumber(pair.data), POLLIN, 0};
        poll(&p, 1, 2);
        processRecordReplies(pair);
    }
    return done();
}

void endRecordContext(RecordConnections& pair, const std::function<bool()>& ended) {
    if (pair.context == 0) return;
    XRecordDisableContext(pair.control, pair.context);
    processRecordRepliesUntil(pair, ended, std::chrono::seconds(1));
    XRecordFreeContext(pair.control, pair.context);
    XSync(pair.control, False);
    pair.context = 0;
}

}  // namespace ks::x11
