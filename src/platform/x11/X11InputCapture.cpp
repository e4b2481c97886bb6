#include "platform/x11/X11InputCapture.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/x11/RecordContext.h"

namespace ks::x11 {
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
}  // namespace ks::x11

// clang-format off
#include "platform/x11/XlibHelpers.h"
#include "platform/x11/ConnectionLossGuard.h"
#include <X11/XKBlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
#include <X11/extensions/record.h>
#include <sys/socket.h>
// clang-format on

namespace ks::x11 {
namespace {

static_assert(KeyPress == kFirstDeviceEvent && MotionNotify == kFirstDeviceEvent + 4);

// Xvfb and Xorg hand recorded data to the recording client only when they
// write to some client: a key pressed while nothing else happens on the
// desktop would wait in the server until the next unrelated reply or event.
// While capturing, a round trip on the control connection this often makes
// the server write, so a key (Ctrl+Break ending a recording) arrives promptly.
constexpr int kPingMs = 50;
constexpr auto kEnableLimit = std::chrono::seconds(1);

struct RecordDataFree {
    void operator()(XRecordInterceptData* data) const { XRecordFreeData(data); }
};
using RecordData = std::unique_ptr<XRecordInterceptData, RecordDataFree>;

std::uint32_t modifiersOf(unsigned state, unsigned numLockMask) {
    std::uint32_t modifiers = 0;
    if (state & numLockMask) modifiers |= CapturedInput::kNumLock;
    if (state & ShiftMask) modifiers |= CapturedInput::kShift;
    if (state & ControlMask) modifiers |= CapturedInput::kControl;
    if (state & Mod1Mask) modifiers |= CapturedInput::kAlt;
    return modifiers;
}

std::optional<CapturedInput> capturedFrom(const XRecordInterceptData& data, unsigned numLockMask) {
    if (data.category != XRecordFromServer || data.data_len * 4 < sizeof(xEvent))
        return std::nullopt;
    const auto* event = reinterpret_cast<const xEvent*>(data.data);
    const auto kind = kindOf(event->u.u.type & 0x7F);
    if (!kind) return std::nullopt;
    CapturedInput input;
    input.kind = *kind;
    input.detail = event->u.u.detail;
    input.modifiers = modifiersOf(event->u.keyButtonPointer.state, numLockMask);
    input.rootX = event->u.keyButtonPointer.rootX;
    input.rootY = event->u.keyButtonPointer.rootY;
    input.time = event->u.keyButtonPointer.time;
    return input;
}

}  // namespace

// The data connection is read by a thread of its own that blocks in
// XRecordEnableContext. Reading it on the GUI thread instead, with
// XRecordEnableContextAsync and XRecordProcessReplies whenever its socket
// was readable, lost or repeated single events now and then when a burst of
// input coincided with round trips on other connections (seen with a bare
// Xlib program too, in up to half of all 100,000-event runs); the blocking
// reader lost none under the same conditions.
struct X11InputCapture::Impl {
    std::string displayName;
    QObject gui;  // queued deliveries and loss reports die with the capture
    std::atomic<bool> lost{false};
    // The modifier bit Num Lock sets, as the keymap was when the capture started.
    std::atomic<unsigned> numLockMask{0};
    // Declared before the connections: closing a broken display may meet
    // the loss again, so the guard outlives them.
    ConnectionLossGuard guard{[this] { lost = true; }};
    std::unique_ptr<RecordConnections> x;
    std::thread reader;
    QTimer ping;
    EventsHandler onEvents;
    LostHandler onLost;

    // Shared with the reader thread.
    std::mutex mutex;
    std::condition_variable dataStartedChanged;
    std::vector<CapturedInput> pending;
    bool deliveryPosted = false;
    bool dataStarted = false;
    bool readerEnded = false;
    bool stopping = false;
    // Which enable() a reader belongs to, so that a late report of an
    // earlier reader's end cannot end a later capture.
    unsigned run = 0;

    Impl();
    bool open();
    void close();
    bool enable();
    void disable();
    void read();
    void receive(const CapturedInput& input);
    void deliver();
    void lookUpWindows(std::vector<CapturedInput>& block);
    void abandon();
    static void intercept(XPointer closure, XRecordInterceptData* data);
};

X11InputCapture::Impl::Impl() {
    ping.setInterval(kPingMs);
    QObject::connect(&ping, &QTimer::timeout, &gui, [this] { read(); });
}

bool X11InputCapture::Impl::open() {
    if (x) return true;
    lost = false;
    x = std::make_unique<RecordConnections>(displayName);
    for (Display* display : {x->control, x->data}) {
        if (display) guard.watch(display);
    }
    if (!x->control || !x->data) {
        close();
        return false;
    }
    return true;
}

void X11InputCapture::Impl::close() {
    ping.stop();
    // A data connection that broke under the reader thread keeps its lock
    // held inside Xlib, and XCloseDisplay would wait on it for ever: it is
    // left unclosed (its socket is already shut down), a few kilobytes once
    // per lost capture.
    if (x && lost) static_cast<void>(x->dataConnection.release());
    x.reset();
    guard.forget();
}

bool X11InputCapture::Impl::enable() {
    if (!createDeviceEventContext(*x)) return false;
    numLockMask = XkbKeysymToModifiers(x->control, XK_Num_Lock);
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.clear();
        deliveryPosted = dataStarted = readerEnded = stopping = false;
    }
    reader = std::thread([this, thisRun = ++run] {
        XRecordEnableContext(x->data, x->context, &Impl::intercept,
                             reinterpret_cast<XPointer>(this));
        std::lock_guard<std::mutex> lock(mutex);
        readerEnded = true;
        dataStartedChanged.notify_all();
        if (stopping) return;
        QMetaObject::invokeMethod(
            &gui,
            [this, thisRun] {
                if (thisRun == run) abandon();
            },
            Qt::QueuedConnection);
    });
    // Events count from the moment the server enabled the context, so that
    // nothing pressed after start() returns is missed.
    std::unique_lock<std::mutex> lock(mutex);
    dataStartedChanged.wait_for(lock, kEnableLimit,
                                [this] { return dataStarted || readerEnded || lost; });
    return dataStarted && !readerEnded && !lost;
}

void X11InputCapture::Impl::disable() {
    ping.stop();
    if (reader.joinable()) {
        bool started = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
            started = dataStarted;
        }
        if (!lost) {
            XRecordDisableContext(x->control, x->context);
            XSync(x->control, False);
        }
        // A reader that cannot be told to end (the control connection is
        // gone, or the server never started the data) is cut off: its read
        // fails and it returns.
        if (lost || !started) shutdown(ConnectionNumber(x->data), SHUT_RDWR);
        reader.join();
    }
    if (x && x->context != 0 && !lost) {
        XRecordFreeContext(x->control, x->context);
        XSync(x->control, False);
    }
    if (x) x->context = 0;
    if (lost) close();
    std::lock_guard<std::mutex> lock(mutex);
    pending.clear();
}

void X11InputCapture::Impl::intercept(XPointer closure, XRecordInterceptData* data) {
    RecordData owned(data);
    auto* self = reinterpret_cast<Impl*>(closure);
    if (data->category == XRecordStartOfData) {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->dataStarted = true;
        self->dataStartedChanged.notify_all();
    }
    if (auto input = capturedFrom(*data, self->numLockMask)) self->receive(*input);
}

void X11InputCapture::Impl::receive(const CapturedInput& input) {
    std::lock_guard<std::mutex> lock(mutex);
    pending.push_back(input);
    if (deliveryPosted) return;
    deliveryPosted = true;
    QMetaObject::invokeMethod(
        &gui, [this] { deliver(); }, Qt::QueuedConnection);
}

void X11InputCapture::Impl::read() {
    if (!x || lost) return;
    XSync(x->control, False);
    if (lost) abandon();
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
    std::vector<CapturedInput> block;
    {
        std::lock_guard<std::mutex> lock(mutex);
        block.swap(pending);
        deliveryPosted = false;
    }
    if (block.empty() || !onEvents || !x || lost) return;
    lookUpWindows(block);
    if (lost) {
        abandon();
        return;
    }
    // The handler may stop (or restart) the capture: it runs on copies.
    EventsHandler handler = onEvents;
    try {
        handler(block.data(), block.size());
    } catch (const std::exception& error) {
        qWarning("Input capture handler failed: %s", error.what());
    }
}

void X11InputCapture::Impl::abandon() {
    if (!x) return;
    lost = true;
    onEvents = nullptr;
    disable();
    close();
    if (LostHandler handler = std::exchange(onLost, nullptr)) {
        QMetaObject::invokeMethod(&gui, std::move(handler), Qt::QueuedConnection);
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
    impl_->ping.start();
    return true;
}

void X11InputCapture::stop() {
    impl_->onEvents = nullptr;
    impl_->onLost = nullptr;
    impl_->disable();
}

}  // namespace ks::x11
