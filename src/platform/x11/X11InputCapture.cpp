#include "platform/x11/X11InputCapture.h"

#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <QtGlobal>
#include <atomic>
#include <exception>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "platform/x11/RecordContext.h"

namespace ks {
namespace {

// Before the X headers, whose X.h makes KeyPress and its kin macros.
using Kind = CapturedInput::Kind;
constexpr int kFirstDeviceEvent = 2;  // the core protocol's KeyPress
constexpr Kind kKindOfType[] = {Kind::KeyPress, Kind::KeyRelease, Kind::ButtonPress,
                                Kind::ButtonRelease, Kind::Motion};

std::optional<Kind> kindOf(int type) {
    const int index = type - kFirstDeviceEvent;
    if (index < 0 || index >= static_cast<int>(std::size(kKindOfType))) return std::nullopt;
    return kKindOfType[index];
}

bool isKey(const CapturedInput& input) {
    return input.kind == Kind::KeyPress || input.kind == Kind::KeyRelease;
}

}  // namespace
}  // namespace ks

// clang-format off
// XConnection.h (through XlibHelpers.h) before Xlib, which makes Status a macro.
#include "platform/x11/XlibHelpers.h"
#include "platform/x11/ConnectionLossGuard.h"
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
// clang-format on

namespace ks {
namespace {

static_assert(KeyPress == kFirstDeviceEvent && MotionNotify == kFirstDeviceEvent + 4);

// Xvfb and Xorg hand recorded data to the recording client only when they
// write to some client: a key pressed while nothing else happens on the
// desktop would wait in the server until the next unrelated reply or event.
// While capturing, a round trip on the control connection this often makes
// the server write, so a key (Ctrl+Break ending a recording) arrives promptly.
constexpr int kPingMs = 50;

struct RecordDataFree {
    void operator()(XRecordInterceptData* data) const { XRecordFreeData(data); }
};
using RecordData = std::unique_ptr<XRecordInterceptData, RecordDataFree>;

std::uint32_t modifiersOf(unsigned state) {
    std::uint32_t modifiers = 0;
    if (state & ShiftMask) modifiers |= CapturedInput::kShift;
    if (state & ControlMask) modifiers |= CapturedInput::kControl;
    if (state & Mod1Mask) modifiers |= CapturedInput::kAlt;
    return modifiers;
}

std::optional<CapturedInput> capturedFrom(const XRecordInterceptData& data) {
    if (data.category != XRecordFromServer || data.data_len * 4 < sizeof(xEvent))
        return std::nullopt;
    const auto* event = reinterpret_cast<const xEvent*>(data.data);
    const auto kind = kindOf(event->u.u.type & 0x7F);
    if (!kind) return std::nullopt;
    CapturedInput input;
    input.kind = *kind;
    input.detail = event->u.u.detail;
    input.modifiers = modifiersOf(event->u.keyButtonPointer.state);
    input.rootX = event->u.keyButtonPointer.rootX;
    input.rootY = event->u.keyButtonPointer.rootY;
    input.time = event->u.keyButtonPointer.time;
    return input;
}

}  // namespace

struct X11InputCapture::Impl {
    std::string displayName;
    QObject lossContext;  // pending loss reports die with the capture
    std::atomic<bool> lost{false};
    // Declared before the connections: closing a broken display may meet
    // the loss again, so the guard outlives them.
    x11::ConnectionLossGuard guard{[this] { lost = true; }};
    std::unique_ptr<x11::RecordConnections> x;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer ping;
    EventsHandler onEvents;
    LostHandler onLost;
    std::vector<CapturedInput> pending;
    bool dataStarted = false;
    bool dataEnded = false;

    Impl();
    bool open();
    void close();
    bool enable();
    void disable();
    void read(bool withPing);
    void deliver();
    void lookUpWindows(std::vector<CapturedInput>& block);
    void abandon();
    static void intercept(XPointer closure, XRecordInterceptData* data);
};

X11InputCapture::Impl::Impl() {
    ping.setInterval(kPingMs);
    QObject::connect(&ping, &QTimer::timeout, &lossContext, [this] { read(true); });
}

bool X11InputCapture::Impl::open() {
    if (x) return true;
    lost = false;
    x = std::make_unique<x11::RecordConnections>(displayName);
    for (Display* display : {x->control, x->data}) {
        if (display) guard.watch(display);
    }
    if (!x->control || !x->data) {
        close();
        return false;
    }
    notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(x->data), QSocketNotifier::Read);
    notifier->setEnabled(false);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &lossContext,
                     [this] { read(false); });
    return true;
}

void X11InputCapture::Impl::close() {
    ping.stop();
    // Before its socket goes. A loss is met inside the notifier's own signal;
    // QSocketNotifier allows being deleted there.
    notifier.reset();
    x.reset();
    guard.forget();
    pending.clear();
}

bool X11InputCapture::Impl::enable() {
    if (!x11::createDeviceEventContext(*x)) return false;
    dataStarted = dataEnded = false;
    pending.clear();
    // Waits for the server's start-of-data reply (a round trip): every event
    // after start() returns is recorded.
    const Status enabled = XRecordEnableContextAsync(x->data, x->context, &Impl::intercept,
                                                     reinterpret_cast<XPointer>(this));
    return enabled && dataStarted && !lost;
}

void X11InputCapture::Impl::disable() {
    ping.stop();
    if (notifier) notifier->setEnabled(false);
    if (x && !lost) x11::endRecordContext(*x, [this] { return dataEnded || lost || !dataStarted; });
    if (lost) close();
    pending.clear();
}

void X11InputCapture::Impl::intercept(XPointer closure, XRecordInterceptData* data) {
    RecordData owned(data);
    auto* self = reinterpret_cast<Impl*>(closure);
    if (data->category == XRecordStartOfData) self->dataStarted = true;
    if (data->category == XRecordEndOfData) self->dataEnded = true;
    if (auto input = capturedFrom(*data)) self->pending.push_back(*input);
}

void X11InputCapture::Impl::read(bool withPing) {
    if (!x || lost) return;
    if (withPing) {
        x11::processRecordReplies(*x);
    } else {
        XRecordProcessReplies(x->data);
    }
    if (lost) {
        abandon();
        return;
    }
    try {
        deliver();
    } catch (const std::exception& error) {
        qWarning("Input capture handler failed: %s", error.what());
    }
}

void X11InputCapture::Impl::lookUpWindows(std::vector<CapturedInput>& block) {
    const Window root = DefaultRootWindow(x->control);
    std::optional<Window> focus, underPointer;
    for (CapturedInput& input : block) {
        if (isKey(input) && !focus) {
            Window window = None;
            int revert = 0;
            XGetInputFocus(x->control, &window, &revert);
            focus = (window == None || window == PointerRoot) ? root : window;
        } else if (!isKey(input) && !underPointer) {
            Window rootReturn = None, child = None;
            int rootX = 0, rootY = 0, winX = 0, winY = 0;
            unsigned mask = 0;
            XQueryPointer(x->control, root, &rootReturn, &child, &rootX, &rootY, &winX, &winY,
                          &mask);
            underPointer = child == None ? root : child;
        }
        input.window = isKey(input) ? *focus : *underPointer;
    }
}

void X11InputCapture::Impl::deliver() {
    if (pending.empty() || !onEvents) return;
    std::vector<CapturedInput> block;
    block.swap(pending);
    lookUpWindows(block);
    if (lost) {
        abandon();
        return;
    }
    // The handler may stop (or restart) the capture: it runs on copies.
    EventsHandler handler = onEvents;
    handler(block.data(), block.size());
}

void X11InputCapture::Impl::abandon() {
    close();
    onEvents = nullptr;
    if (LostHandler handler = std::exchange(onLost, nullptr)) {
        QMetaObject::invokeMethod(&lossContext, std::move(handler), Qt::QueuedConnection);
    }
}

X11InputCapture::X11InputCapture(const std::string& displayName) : impl_(new Impl) {
    impl_->displayName = displayName;
}

X11InputCapture::~X11InputCapture() {
    stop();
}

bool X11InputCapture::start(EventsHandler onEvents, LostHandler onLost) {
    stop();
    if (!impl_->open()) return false;
    if (!impl_->enable()) {
        impl_->disable();
        return false;
    }
    impl_->onEvents = std::move(onEvents);
    impl_->onLost = std::move(onLost);
    impl_->notifier->setEnabled(true);
    impl_->ping.start();
    return true;
}

void X11InputCapture::stop() {
    impl_->onEvents = nullptr;
    impl_->onLost = nullptr;
    impl_->disable();
}

}  // namespace ks
