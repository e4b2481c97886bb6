#include "RecordObserver.h"

#include "RecordContext.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
#include <poll.h>

#include <stdexcept>

namespace ks::test {

namespace {

void collect(XPointer closure, XRecordInterceptData* data) {
    auto* events = reinterpret_cast<std::vector<RecordedEvent>*>(closure);
    if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
        const auto* event = reinterpret_cast<const xEvent*>(data->data);
        events->push_back({event->u.u.type & 0x7F, event->u.u.detail, event->u.keyButtonPointer.rootX,
                           event->u.keyButtonPointer.rootY});
    }
    XRecordFreeData(data);
}

}  // namespace

RecordObserver::RecordObserver(const std::string& display)
    : x_(std::make_unique<x11::RecordConnections>(display)) {
    if (!createDeviceEventContext(*x_)) {
        throw std::runtime_error("no RECORD extension on " + display);
    }
    XRecordEnableContextAsync(x_->data, x_->context, collect, reinterpret_cast<XPointer>(&events_));
    XFlush(x_->data);
}

RecordObserver::~RecordObserver() {
    XRecordDisableContext(x_->control, x_->context);
    XSync(x_->control, False);
    XRecordProcessReplies(x_->data);
    XRecordFreeContext(x_->control, x_->context);
}

std::vector<RecordedEvent> RecordObserver::waitFor(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // A round trip on the control connection makes the server flush what it
    // holds for the recording client.
    while (events_.size() < count && std::chrono::steady_clock::now() < deadline) {
        XSync(x_->control, False);
        pollfd p{ConnectionNumber(x_->data), POLLIN, 0};
        poll(&p, 1, 20);
        XRecordProcessReplies(x_->data);
    }
    return events_;
}

}  // namespace ks::test
