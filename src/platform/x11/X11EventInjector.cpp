#include "platform/x11/X11EventInjector.h"

#include <X11/extensions/XTest.h>

#include "platform/x11/OwnDisplay.h"

namespace ks::x11 {

struct X11EventInjector::Impl {
    OwnDisplay display;
    bool xtest = false;
};

X11EventInjector::X11EventInjector(Keymap& keymap, const std::string& displayName)
    : keymap_(keymap), impl_(new Impl) {
    impl_->display = openOwnDisplay(displayName);
    int event = 0, error = 0, major = 0, minor = 0;
    impl_->xtest =
        impl_->display && XTestQueryExtension(impl_->display.get(), &event, &error, &major, &minor);
}

X11EventInjector::~X11EventInjector() = default;

bool X11EventInjector::available() {
    return impl_->xtest;
}

void X11EventInjector::key(std::uint8_t virtualKey, std::uint8_t scan, bool down) {
    if (!impl_->xtest) return;
    // Scan codes are X key codes less 8.
    const std::uint8_t pressed = keymap_.layout()->scanToPress(virtualKey, scan);
    if (pressed != 0) XTestFakeKeyEvent(impl_->display.get(), pressed + 8u, down, CurrentTime);
}

void X11EventInjector::motion(std::int32_t x, std::int32_t y) {
    if (!impl_->xtest) return;
    Display* display = impl_->display.get();
    // The server reports a motion even for a move to where the pointer
    // already is; a click's coordinates only place the pointer, so a move
    // that would not move it is left out.
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX,
                      &winY, &mask) &&
        rootX == x && rootY == y) {
        return;
    }
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
}

void X11EventInjector::button(unsigned number, bool down) {
    if (impl_->xtest) XTestFakeButtonEvent(impl_->display.get(), number, down, CurrentTime);
}

void X11EventInjector::flush() {
    if (impl_->display) XFlush(impl_->display.get());
}

}  // namespace ks::x11
