#include "XTestDriver.h"

#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/x11/XlibHelpers.h"

namespace ks::test {

XTestDriver::XTestDriver(const std::string& display) : display_(x11::openOwnDisplay(display)) {
    if (!display_) throw std::runtime_error("cannot open " + display);
}

unsigned XTestDriver::keycode(const char* keysymName) const {
    return XKeysymToKeycode(display_.get(), XStringToKeysym(keysymName));
}

void XTestDriver::key(unsigned keycode, bool press) {
    XTestFakeKeyEvent(display_.get(), keycode, press, CurrentTime);
}

namespace {

// One of the Xvfb's own devices ("Xvfb keyboard", "Xvfb mouse"), opened
// through XInput 1, which XTest's device events need.
XDevice* openXvfbDevice(Display* display, const std::string& name) {
    int count = 0;
    XDeviceInfo* devices = XListInputDevices(display, &count);
    const XDeviceInfo* found = std::find_if(devices, devices + count,
                                            [&](const XDeviceInfo& d) { return d.name == name; });
    const XID id = found == devices + count ? 0 : found->id;
    XFreeDeviceList(devices);
    if (id == 0) throw std::runtime_error("no " + name);
    return XOpenDevice(display, id);
}

}  // namespace

void XTestDriver::physicalKey(unsigned keycode, bool press) {
    Display* display = display_.get();
    XDevice* device = openXvfbDevice(display, "Xvfb keyboard");
    XTestFakeDeviceKeyEvent(display, device, keycode, press, nullptr, 0, CurrentTime);
    XCloseDevice(display, device);
    XSync(display, False);
}

void XTestDriver::physicalMoveTo(int x, int y) {
    Display* display = display_.get();
    XDevice* device = openXvfbDevice(display, "Xvfb mouse");
    int axes[] = {x, y};
    XTestFakeDeviceMotionEvent(display, device, False, 0, axes, 2, CurrentTime);
    XCloseDevice(display, device);
    XSync(display, False);
}

void XTestDriver::button(unsigned button, bool press) {
    XTestFakeButtonEvent(display_.get(), button, press, CurrentTime);
}

void XTestDriver::moveTo(int x, int y) {
    XTestFakeMotionEvent(display_.get(), -1, x, y, CurrentTime);
}

void XTestDriver::chord(const std::vector<unsigned>& keycodes) {
    for (unsigned code : keycodes) key(code, true);
    for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it) key(*it, false);
    sync();
}

void XTestDriver::chord(const std::vector<const char*>& keysymNames) {
    std::vector<unsigned> keycodes;
    for (const char* name : keysymNames) keycodes.push_back(keycode(name));
    chord(keycodes);
}

void XTestDriver::flush() {
    XFlush(display_.get());
}

void XTestDriver::sync() {
    XSync(display_.get(), False);
}

unsigned XTestDriver::state() const {
    Window rootReturn = None, child = None;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display_.get(), root(), &rootReturn, &child, &x, &y, &wx, &wy, &mask);
    return mask;
}

unsigned long XTestDriver::root() const {
    return DefaultRootWindow(display_.get());
}

bool XTestDriver::grab(unsigned keycode, unsigned modifiers) {
    x11::XErrorTrap trap(display_.get());
    XGrabKey(display_.get(), static_cast<int>(keycode), modifiers, root(), False, GrabModeAsync,
             GrabModeAsync);
    return !trap.failed();
}

void XTestDriver::ungrab(unsigned keycode, unsigned modifiers) {
    XUngrabKey(display_.get(), static_cast<int>(keycode), modifiers, root());
    sync();
}

unsigned long XTestDriver::clientBase() const {
    return XAllocID(display_.get()) & ~(kClientRange - 1);
}

void XTestDriver::killClient(unsigned long resource) {
    XKillClient(display_.get(), resource);
    sync();
}

}  // namespace ks::test
