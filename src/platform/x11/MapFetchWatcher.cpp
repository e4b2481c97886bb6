#include "platform/x11/MapFetchWatcher.h"

#include "platform/x11/RecordContext.h"
#include "platform/x11/XlibHelpers.h"

#include <X11/extensions/record.h>

namespace ks::x11 {
namespace {

constexpr unsigned char kGetKeyboardMapping = 101;  // core request
constexpr unsigned char kXkbGetMap = 8;             // XKEYBOARD minor request

void noteFetch(XPointer closure, XRecordInterceptData* data) {
    auto* state = reinterpret_cast<MapFetchWatcher::State*>(closure);
    if (data->category == XRecordFromClient) {
        state->fetched = true;
        ++state->requests;
    }
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

MapFetchWatcher::~MapFetchWatcher() {
    stop();
}

bool MapFetchWatcher::watch(unsigned long window) {
    stop();
    XRecordRange* core = XRecordAllocRange();
    XRecordRange* xkb = XRecordAllocRange();
    core->core_requests.first = core->core_requests.last = kGetKeyboardMapping;
    xkb->ext_requests.ext_major.first = xkb->ext_requests.ext_major.last =
        static_cast<unsigned char>(xkbOpcode_);
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
    XRecordEnableContextAsync(x_->data, x_->context, noteFetch,
                              reinterpret_cast<XPointer>(&state_));
    XFlush(x_->data);
    return true;
}

void MapFetchWatcher::mark() {
    if (x_->context == 0) return;
    // The server holds recorded data back until it next flushes output to
    // some client: a fetch it has already seen could otherwise come in after
    // the mark and pass for a fetch of the next mapping. A reply is such a
    // flush; the one after it comes only once the first flush wrote everything.
    XSync(x_->control, False);
    processRecordReplies(*x_);
    state_.fetched = false;
}

bool MapFetchWatcher::waitForFetch(std::chrono::milliseconds limit) {
    if (x_->context == 0) return false;
    if (!processRecordRepliesUntil(
            *x_, [this] { return state_.fetched; }, limit))
        return false;
    // A refresh may take the client several requests: a mapping changed in
    // their midst would be read together with the one they fetch.
    constexpr std::chrono::milliseconds kQuiet(5);
    for (unsigned seen = 0; seen != state_.requests;) {
        seen = state_.requests;
        processRecordRepliesUntil(
            *x_, [&] { return state_.requests != seen; }, kQuiet);
    }
    return true;
}

void MapFetchWatcher::stop() {
    endRecordContext(*x_, [this] { return state_.ended; });
}

}  // namespace ks::x11
