#include "RecordObserver.h"

#include "platform/x11/RecordContext.h"
#include "platform/x11/XlibHelpers.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <chrono>

namespace ks::test {

namespace {

void onRecorded(XPointer observer, XRecordInterceptData* data) {
    reinterpret_cast<RecordObserver*>(observer)->receive(data);
}

}  // namespace

RecordObserver::RecordObserver(const std::string& display)
    : x_(std::make_unique<x11::RecordConnections>(display)) {
    if (!x11::createDeviceEventContext(*x_)) return;
    reader_ = std::thread([this] { run(); });
    std::unique_lock lock(mutex_);
    started_ = arrived_.wait_for(lock, std::chrono::seconds(10), [this] { return enabled_; });
}

RecordObserver::~RecordObserver() {
    if (reader_.joinable()) {
        XRecordDisableContext(x_->control, x_->context);
        XSync(x_->control, False);
        reader_.join();
    }
    if (x_->context) XRecordFreeContext(x_->control, x_->context);
}

void RecordObserver::run() {
    XRecordEnableContext(x_->data, x_->context, &onRecorded, reinterpret_cast<XPointer>(this));
}

void RecordObserver::receive(void* data) {
    auto* intercepted = static_cast<XRecordInterceptData*>(data);
    {
        std::lock_guard lock(mutex_);
        if (intercepted->category == XRecordStartOfData) {
            enabled_ = true;
        } else if (intercepted->category == XRecordFromServer && intercepted->data_len > 0) {
            const auto* event = reinterpret_cast<const xEvent*>(intercepted->data);
            events_.push_back({event->u.u.type & 0x7F, event->u.u.detail,
                               event->u.keyButtonPointer.rootX, event->u.keyButtonPointer.rootY,
                               static_cast<std::uint32_t>(event->u.keyButtonPointer.time)});
        }
    }
    arrived_.notify_all();
    XRecordFreeData(intercepted);
}

std::vector<ObservedEvent> RecordObserver::waitFor(std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        XSync(x_->control, False);
        std::unique_lock lock(mutex_);
        if (events_.size() >= count || std::chrono::steady_clock::now() >= deadline) {
            return events_;
        }
        arrived_.wait_for(lock, std::chrono::milliseconds(5));
    }
}

std::vector<ObservedEvent> RecordObserver::events() {
    std::lock_guard lock(mutex_);
    return events_;
}

void RecordObserver::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

}  // namespace ks::test
