#include "platform/x11/WindowListWatch.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/Xlib.h>

#include <algorithm>

namespace ks::x11 {

namespace {

// Properties whose change alters the list: the manager's client lists on
// the root, and a window's title and type.
constexpr const char* kWatchedProperties[] = {"_NET_CLIENT_LIST_STACKING", "_NET_SUPPORTED",
                                              "_NET_WM_NAME", "WM_NAME", "_NET_WM_WINDOW_TYPE"};

}  // namespace

WindowListWatch::WindowListWatch(const std::string& displayName)
    : display_(openOwnDisplay(displayName)) {
    if (!display_) return;
    Display* display = display_.get();
    for (const char* name : kWatchedProperties) {
        watchedAtoms_.push_back(XInternAtom(display, name, False));
    }
    // Without a manager the list is the root's mapped children.
    XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask | SubstructureNotifyMask);
    XSync(display, False);
}

void WindowListWatch::watch(const std::vector<unsigned long>& windows) {
    if (!display_) return;
    Display* display = display_.get();
    XErrorTrap trap(display);  // a window may be gone already
    for (unsigned long window : windows) XSelectInput(display, window, PropertyChangeMask);
}

bool WindowListWatch::changed() {
    if (!display_) return true;
    Display* display = display_.get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != PropertyNotify ||
            std::find(watchedAtoms_.begin(), watchedAtoms_.end(), event.xproperty.atom) !=
                watchedAtoms_.end()) {
            changed_ = true;
        }
    }
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

}  // namespace ks::x11
