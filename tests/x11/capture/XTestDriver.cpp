#include "XTestDriver.h"

#include <X11/extensions/XTest.h>

#include <stdexcept>

#include "platform/x11/OwnDisplay.h"

namespace ks::test {

struct XTestDriver::Connection {
    x11::OwnDisplay display;
};

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
    Display* display = x_->display.get();
    Window focus = None, rootReturn = None, child = None;
    int revert = 0, rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    XGetInputFocus(display, &focus, &revert);
    XQueryPointer(display, root(), &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask);
    return focus == window && child == topLevelOf(window);
}

}  // namespace ks::test
