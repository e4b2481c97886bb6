#include "RecordObserver.h"

#include "platform/x11/RecordContext.h"
#include "platform/x11/XlibHelpers.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

namespace ks::test {

RecordObserver::RecordObserver(const std::string& display)
    : x_(std::make_unique<x11::RecordConnections>(display)) {
    const auto onRecorded = [](XPointer self, XRecordInterceptData* data) {
        reinterpret_cast<RecordObserver*>(self)->receive(data);
    };
    if (!x11::createDeviceEventContext(*x_) ||
        !XRecordEnableContextAsync(x_->data, x_->context, onRecorded,
                                   reinterpret_cast<XPointer>(this)))
        return;
    started_ = x11::processRecordRepliesUntil(
        *x_, [this] { return started_; }, std::chrono::seconds(10));
}

RecordObserver::~RecordObserver() {
    x11::endRecordContext(*x_, [this] { return ended_; });
}

void RecordObserver::receive(void* data) {
    auto* intercepted = static_cast<XRecordInterceptData*>(data);
    if (intercepted->category == XRecordStartOfData) started_ = true;
    if (intercepted->category == XRecordEndOfData) ended_ = true;
    if (intercepted->category == XRecordFromServer && intercepted->data_len > 0) {
        const auto* event = reinterpret_cast<const xEvent*>(intercepted->data);
        events_.push_back({event->u.u.type & 0x7F, event->u.u.detail,
                           event->u.keyButtonPointer.rootX, event->u.keyButtonPointer.rootY,
                           static_cast<std::uint32_t>(event->u.keyButtonPointer.time)});
    }
    XRecordFreeData(intercepted);
}

std::vector<ObservedEvent> RecordObserver::waitFor(std::size_t count, int timeoutMs) {
    x11::processRecordRepliesUntil(
        *x_, [&] { return events_.size() >= count; }, std::chrono::milliseconds(timeoutMs));
    return events_;
}

void RecordObserver::clear() {
    x11::processRecordReplies(*x_);
    events_.clear();
}

}  // namespace ks::test
