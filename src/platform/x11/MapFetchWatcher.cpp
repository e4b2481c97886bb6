#include "platform/x11/MapFetchWatcher.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/extensions/record.h>
#include <poll.h>

namespace ks::x11 {
namespace {

constexpr unsigned char kGetKeyboardMapping = 101;  // core request
constexpr unsigned char kXkbGetMap = 8;             // XKEYBOARD minor request

void noteFetch(XPointer closure, XRecordInterceptData* data) {
    auto* state = reinterpret_cast<MapFetchWatcher::State*>(closure);
    if (data->category == XRecordFromClient) state->fetched = true;
    if (data->category == XRecordEndOfData) state->ended = true;
    XRecordFreeData(data);
}

}  // namespace

std::unique_ptr<MapFetchWatcher> MapFetchWatcher::open(const std::string& display, int xkbOpcode) {
    auto x = std::make_unique<RecordConnections>(display);
    int major = 0, minor = 0;
    if (!x->control || !x->data || !XRecordQueryVersion(x->control, &major, &minor)) return nullptr;
    return std::unique_ptr<MapFetchWatcher>(new MapFetchWatcher(std::move(x), xkbOpcode));
}

MapFetchWatcher::MapFetchWatcher(std::unique_ptr<RecordConnections> x, int xkbOpcode)
    : x_(std::move(x)), xkbOpcode_(xkbOpcode) {}

MapFetchWatcher::~MapFetchWatcher() { stop(); }

bool MapFetchWatcher::watch(unsigned long window) {
    stop();
    XRecordRange* core = XRecordAllocRange();
    XRecordRange* xkb = XRecordAllocRange();
    core->core_requests.first = core->core_requests.last = kGetKeyboardMapping;
    xkb->ext_requests.ext_major.first = xkb->ext_requests.ext_major.last = static_cast<unsigned char>(xkbOpcode_);
    xkb->ext_requests.ext_minor.first = xkb->ext_requests.ext_minor.last = kXkbGetMap;
    XRecordRange* ranges[] = {core, xkb};
    // A client is named by any resource it created: here the focused window.
    XRecordClientSpec client = window;
    XErrorTrap trap(x_->control);
    x_->context = XRecordCreateContext(x_->control, 0, &client, 1, ranges, 2);
    XFree(core);
    XFree(xkb);
    if (trap.failed() || x_->context == 0) {
        x_->context = 0;
        return false;
    }
    state_ = State{};
    XRecordEnableContextAsync(x_->data, x_->context, noteFetch, reinterpret_cast<XPointer>(&state_));
    XFlush(x_->data);
    return true;
}

void MapFetchWatcher::processReplies() {
    // A round trip on the control connection makes the server hand over what
    // it holds for the recording connection.
    XSync(x_->control, False);
    XRecordProcessReplies(x_->data);
}

void MapFetchWatcher::mark() {
    if (x_->context == 0) return;
    processReplies();
    state_.fetched = false;
}

bool MapFetchWatcher::waitForFetch(std::chrono::milliseconds limit) {
    if (x_->context == 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    processReplies();
    while (!state_.fetched && std::chrono::steady_clock::now() < deadline) {
        pollfd p{ConnectionNumber(x_->data), POLLIN, 0};
        poll(&p, 1, 2);
        processReplies();
    }
    return state_.fetched;
}

void MapFetchWatcher::stop() {
    if (x_->context == 0) return;
    XRecordDisableContext(x_->control, x_->context);
    // The recording connection is free for the next context only once it
    // has read the end of this one's data.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!state_.ended && std::chrono::steady_clock::now() < deadline) processReplies();
    XRecordFreeContext(x_->control, x_->context);
    XSync(x_->control, False);
    x_->context = 0;
}

}  // namespace ks::x11
