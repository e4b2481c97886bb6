#include "platform/x11/XConnection.h"

#include "platform/x11/RawKeyDevices.h"
#include "platform/x11/XlibHelpers.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

namespace ks::x11 {
namespace {

XErrorTrap* activeTrap = nullptr;

}  // namespace

Expected<std::unique_ptr<XConnection>> XConnection::open(const std::string& name) {
    OwnDisplay owned = openOwnDisplay(name);
    if (!owned) return Result::failure("cannot open X display " + name);
    Display* display = owned.get();
    int event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion, opcode = 0;
    const bool hasXkb = XkbQueryExtension(display, &opcode, &event, &error, &major, &minor);
    std::unique_ptr<XConnection> connection(new XConnection(std::move(owned), opcode));
    if (!hasXkb) return Result::failure("the X server has no XKEYBOARD extension");
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        return Result::failure("the X server has no XTEST extension");
    }
    XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
    return connection;
}

std::string XConnection::displayName() const {
    return DisplayString(display_.get());
}

unsigned long XConnection::root() const {
    return DefaultRootWindow(display_.get());
}

unsigned long XConnection::atom(const char* name) const {
    return XInternAtom(display_.get(), name, False);
}

void XConnection::drainEvents() {
    // XKB events are selected on this connection, each of them meaning the
    // layout may differ now, and raw motions while the pointer is watched.
    Display* display = display_.get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent) {
            keymapChanged_ = true;
        } else if (cookie->extension == xinputOpcode_ && XGetEventData(display, cookie)) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            if (!synthetic_.contains(raw->sourceid)) pointerMoved_ = true;
            XFreeEventData(display, cookie);
        }
    }
}

void XConnection::selectRawMotion(bool on) {
    unsigned char bits[XIMaskLen(XI_RawMotion)] = {};
    if (on) XISetMask(bits, XI_RawMotion);
    // Raw events of the master pointer name the device that moved it.
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(display_.get(), root(), &mask, 1);
}

bool XConnection::watchPointerMoves() {
    Display* display = display_.get();
    if (xinputOpcode_ == 0 && !queryXInput2(display, 2, xinputOpcode_)) {
        xinputOpcode_ = 0;
        return false;
    }
    synthetic_ = queryRawKeyDevices(display).synthetic;
    selectRawMotion(true);
    XSync(display, False);
    // Moves before the watch began are no moves since.
    drainEvents();
    pointerMoved_ = false;
    return true;
}

void XConnection::stopWatchingPointerMoves() {
    selectRawMotion(false);
    XFlush(display_.get());
}

bool XConnection::pointerMovedSoFar() {
    drainEvents();
    const bool moved = pointerMoved_;
    pointerMoved_ = false;
    return moved;
}

bool XConnection::keymapChangedSinceLastCheck() {
    XSync(display_.get(), False);
    return keymapChangedSoFar();
}

bool XConnection::keymapChangedSoFar() {
    drainEvents();
    const bool changed = keymapChanged_;
    keymapChanged_ = false;
    return changed;
}

void DisplayCloser::operator()(Display* display) const {
    XCloseDisplay(display);
}

OwnDisplay openOwnDisplay(const std::string& name) {
    return OwnDisplay(XOpenDisplay(name.empty() ? nullptr : name.c_str()));
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), outer_(activeTrap) {
    XSync(display_, False);
    activeTrap = this;
    previous_ = XSetErrorHandler(&XErrorTrap::record);
}

XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
    activeTrap = outer_;
}

const std::vector<XErrorTrap::Error>& XErrorTrap::errors() {
    XSync(display_, False);
    return errors_;
}

int XErrorTrap::record(Display* display, XErrorEvent* event) {
    XErrorTrap* trap = activeTrap;
    XErrorTrap* outermost = trap;
    for (; trap != nullptr && trap->display_ != display; trap = trap->outer_) outermost = trap;
    if (trap == nullptr) {
        return outermost != nullptr && outermost->previous_ != nullptr
                   ? outermost->previous_(display, event)
                   : 0;
    }
    if (trap->errors_.empty()) {
        char text[256] = {};
        XGetErrorText(display, event->error_code, text, sizeof text);
        trap->error_ = text;
    }
    trap->errors_.push_back({event->serial, event->error_code});
    return 0;
}

}  // namespace ks::x11
