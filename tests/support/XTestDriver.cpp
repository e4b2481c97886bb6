#include "XTestDriver.h"

#include <X11/extensions/XTest.h>

#include <stdexcept>

#include "platform/x11/OwnDisplay.h"

namespace ks::test {

struct XTestDriver::Connection {
    x11::OwnDisplay display;
    Window child = None;  // under the pointer, after a query
    unsigned mask = 0;

    void queryPointer() {
        Window root = None;
        int x = 0, y = 0, wx = 0, wy = 0;
        XQueryPointer(display.get(), DefaultRootWindow(display.get()), &root, &child, &x, &y, &wx,
                      &wy, &mask);
    }
};

namespace {

bool grabFailed = false;

int onGrabError(Display*, XErrorEvent*) {
    grabFailed = true;
    return 0;
}

}  // namespace

XTestDriver::XTestDriver(const std::string& display)
    : x_(new Connection{x11::openOwnDisplay(display)}) {
    if (!x_->display) throw std::runtime_error("cannot open " + display);
}

XTestDriver::~XTestDriver() = default;

unsigned XTestDriver::keycode(const char* keysymName) const {
    return XKeysymToKeycode(x_->display.get(), XStringToKeysym(keysymName));
}

void XTestDriver::key(unsigned keycode, bool press) {
    XTestFakeKeyEvent(x_->display.get(), keycode, press ? True : False, CurrentTime);
}

void XTestDriver::chord(const std::vector<unsigned>& keycodes) {
    for (unsigned code : keycodes) key(code, true);
    for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it) key(*it, false);
    sync();
}

void XTestDriver::chord(const std::vector<const char*>& keysymNames) {
    std::vector<unsigned> codes;
    for (const char* name : keysymNames) codes.push_back(keycode(name));
    chord(codes);
}

void XTestDriver::button(unsigned button, bool press) {
    XTestFakeButtonEvent(x_->display.get(), button, press ? True : False, CurrentTime);
}

void XTestDriver::moveTo(int x, int y) {
    XTestFakeMotionEvent(x_->display.get(), -1, x, y, CurrentTime);
}

void XTestDriver::flush() {
    XFlush(x_->display.get());
}

void XTestDriver::sync() {
    XSync(x_->display.get(), False);
}

unsigned XTestDriver::state() const {
    x_->queryPointer();
    return x_->mask;
}

bool XTestDriver::grab(unsigned keycode, unsigned modifiers) {
    grabFailed = false;
    const XErrorHandler previous = XSetErrorHandler(&onGrabError);
    XGrabKey(x_->display.get(), static_cast<int>(keycode), modifiers, root(), False, GrabModeAsync,
             GrabModeAsync);
    sync();
    XSetErrorHandler(previous);
    return !grabFailed;
}

void XTestDriver::ungrab(unsigned keycode, unsigned modifiers) {
    XUngrabKey(x_->display.get(), static_cast<int>(keycode), modifiers, root());
    sync();
}

unsigned long XTestDriver::clientBase() const {
    return XAllocID(x_->display.get()) & ~(kClientRange - 1);
}

void XTestDriver::killClient(unsigned long resource) {
    XKillClient(x_->display.get(), resource);
    sync();
}

unsigned long XTestDriver::root() const {
    return DefaultRootWindow(x_->display.get());
}

unsigned long XTestDriver::topLevelOf(unsigned long window) const {
    Display* display = x_->display.get();
    for (;;) {
        Window rootReturn = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return None;
        if (children) XFree(children);
        if (parent == rootReturn) return window;
        window = parent;
    }
}

bool XTestDriver::focusedAndUnderPointer(unsigned long window) const {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(x_->display.get(), &focus, &revert);
    x_->queryPointer();
    return focus == window && x_->child == topLevelOf(window);
}

std::pair<int, int> XTestDriver::centreOf(unsigned long window) const {
    Display* display = x_->display.get();
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, root(), attributes.width / 2, attributes.height / 2, &x,
                          &y, &child);
    return {x, y};
}

void XTestDriver::focus(unsigned long window) {
    XSetInputFocus(x_->display.get(), window, RevertToParent, CurrentTime);
    XSync(x_->display.get(), False);
}

}  // namespace ks::test
