#include "platform/x11/XConnection.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace ks::x11 {
namespace {

XErrorTrap* activeTrap = nullptr;

}  // namespace

Expected<std::unique_ptr<XConnection>> XConnection::open(const std::string& name) {
    Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!display) return Result::failure("cannot open X display " + name);
    int event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion, opcode = 0;
    const bool hasXkb = XkbQueryExtension(display, &opcode, &event, &error, &major, &minor);
    std::unique_ptr<XConnection> connection(new XConnection(display, opcode));
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

XConnection::~XConnection() {
    XCloseDisplay(display_);
}

std::string XConnection::displayName() const {
    return DisplayString(display_);
}

unsigned long XConnection::root() const {
    return DefaultRootWindow(display_);
}

unsigned long XConnection::atom(const char* name) const {
    return XInternAtom(display_, name, False);
}

void XConnection::drainEvents() {
    // Only XKB events are selected on this connection; each of them means
    // the layout may differ now.
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        keymapChanged_ = true;
    }
}

bool XConnection::keymapChangedSinceLastCheck() {
    XSync(display_, False);
    return keymapChangedSoFar();
}

bool XConnection::keymapChangedSoFar() {
    drainEvents();
    const bool changed = keymapChanged_;
    keymapChanged_ = false;
    return changed;
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

bool XErrorTrap::failed() {
    XSync(display_, False);
    return failed_;
}

int XErrorTrap::record(Display* display, XErrorEvent* event) {
    if (activeTrap && !activeTrap->failed_) {
        char text[256] = {};
        XGetErrorText(display, event->error_code, text, sizeof text);
        activeTrap->error_ = text;
        activeTrap->failed_ = true;
    }
    return 0;
}

}  // namespace ks::x11
