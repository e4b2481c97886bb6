#include "platform/x11/X11WindowControl.h"

#include "platform/x11/XlibHelpers.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace ks::x11 {
namespace {

// A window property as a list of 32-bit items (XA_CARDINAL, XA_WINDOW, XA_ATOM).
std::vector<unsigned long> longProperty(Display* display, Window window, Atom property, Atom type) {
    XErrorTrap trap(display);
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (format == 32) {
            const auto* values = reinterpret_cast<const unsigned long*>(data);
            items.assign(values, values + count);
        }
        XFree(data);
    }
    return items;
}

// The top-level window (child of the root) that holds `window`.
Window topLevelOf(Display* display, Window window) {
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    while (window != None) {
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) return None;
        if (children) XFree(children);
        if (parent == root || parent == None) return window;
        window = parent;
    }
    return None;
}

// A text property in UTF-8, whichever encoding the window stored it in.
std::string textProperty(Display* display, Window window, Atom property) {
    XErrorTrap trap(display);
    XTextProperty text{};
    if (!XGetTextProperty(display, window, &text, property) || text.value == nullptr) return {};
    std::string result;
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && list != nullptr) {
        for (int i = 0; i < count; ++i) result += list[i];
        XFreeStringList(list);
    }
    XFree(text.value);
    return result;
}

// The root's mapped children, bottom first: the windows there are when no
// manager keeps a client list.
std::vector<unsigned long> mappedRootChildren(Display* display, Window root) {
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<unsigned long> mapped;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return mapped;
    for (unsigned i = 0; i < count; ++i) {
        XErrorTrap trap(display);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && !trap.failed() &&
            attributes.map_state == IsViewable && !attributes.override_redirect) {
            mapped.push_back(children[i]);
        }
    }
    if (children) XFree(children);
    return mapped;
}

}  // namespace

bool X11WindowControl::managerSupports(const char* atomName) {
    Display* display = connection_.display();
    const auto supported =
        longProperty(display, connection_.root(), connection_.atom("_NET_SUPPORTED"), XA_ATOM);
    const Atom wanted = connection_.atom(atomName);
    for (unsigned long atom : supported) {
        if (atom == wanted) return true;
    }
    return false;
}

std::optional<WindowId> X11WindowControl::foreground() {
    Display* display = connection_.display();
    if (managerSupports("_NET_ACTIVE_WINDOW")) {
        const auto active = longProperty(display, connection_.root(),
                                         connection_.atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
        // The property can still name a window that has just gone.
        if (active.empty() || active.front() == None || !exists(active.front()))
            return std::nullopt;
        return active.front();
    }
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return std::nullopt;
    if (focus == connection_.root()) return focus;
    const Window top = topLevelOf(display, focus);
    if (top == None) return std::nullopt;
    return top;
}

bool X11WindowControl::isOwnWindow(WindowId window) {
    const auto pid =
        longProperty(connection_.display(), window, connection_.atom("_NET_WM_PID"), XA_CARDINAL);
    return !pid.empty() && pid.front() == static_cast<unsigned long>(getpid());
}

bool X11WindowControl::isDesktop(WindowId window) {
    if (window == connection_.root()) return true;
    return hasType(window, "_NET_WM_WINDOW_TYPE_DESKTOP");
}

bool X11WindowControl::exists(WindowId window) {
    XErrorTrap trap(connection_.display());
    XWindowAttributes attributes;
    return XGetWindowAttributes(connection_.display(), window, &attributes) != 0 && !trap.failed();
}

bool X11WindowControl::attachInput(WindowId window) {
    return window != None && exists(window) && !isOwnWindow(window) && !isDesktop(window);
}

void X11WindowControl::detachInput(WindowId) {}

std::optional<ScreenRect> X11WindowControl::rect(WindowId window) {
    Display* display = connection_.display();
    XErrorTrap trap(display);
    XWindowAttributes attributes;
    Window child = None;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, connection_.root(), 0, 0, &x, &y, &child) ||
        trap.failed()) {
        return std::nullopt;
    }
    ScreenRect outer{x, y, x + attributes.width, y + attributes.height};
    // _NET_FRAME_EXTENTS: left, right, top, bottom borders of the manager's frame.
    const auto frame =
        longProperty(display, window, connection_.atom("_NET_FRAME_EXTENTS"), XA_CARDINAL);
    if (frame.size() == 4) {
        outer.left -= static_cast<int>(frame[0]);
        outer.right += static_cast<int>(frame[1]);
        outer.top -= static_cast<int>(frame[2]);
        outer.bottom += static_cast<int>(frame[3]);
    }
    return outer;
}

ScreenSize X11WindowControl::screenSize() {
    Display* display = connection_.display();
    const int screen = DefaultScreen(display);
    return {DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

void X11WindowControl::sendToManager(WindowId window, const char* messageType,
                                     const long (&data)[5]) {
    Display* display = connection_.display();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = connection_.atom(messageType);
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(display, connection_.root(), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

std::string X11WindowControl::title(WindowId window) {
    Display* display = connection_.display();
    std::string name = textProperty(display, window, connection_.atom("_NET_WM_NAME"));
    return name.empty() ? textProperty(display, window, XA_WM_NAME) : name;
}

bool X11WindowControl::hasType(WindowId window, const char* typeName) {
    const auto types = longProperty(connection_.display(), window,
                                    connection_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM);
    const Atom wanted = connection_.atom(typeName);
    return std::find(types.begin(), types.end(), wanted) != types.end();
}

std::vector<TopLevelWindow> X11WindowControl::topLevelWindows() {
    Display* display = connection_.display();
    // Managed clients, minimised ones included, in stacking order bottom first.
    std::vector<unsigned long> stack =
        managerSupports("_NET_CLIENT_LIST_STACKING")
            ? longProperty(display, connection_.root(),
                           connection_.atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW)
            : mappedRootChildren(display, connection_.root());
    std::vector<TopLevelWindow> windows;
    for (auto at = stack.rbegin(); at != stack.rend(); ++at) {
        if (!exists(*at)) continue;
        windows.push_back({*at, title(*at), hasType(*at, "_NET_WM_WINDOW_TYPE_DOCK")});
    }
    return windows;
}

bool X11WindowControl::setForeground(WindowId window) {
    Display* display = connection_.display();
    if (!exists(window)) return false;
    if (!managerSupports("_NET_ACTIVE_WINDOW")) {
        XErrorTrap trap(display);
        XMapRaised(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        return !trap.failed();
    }
    // Source 2: a pager-like tool acting for the user, which managers obey
    // without focus-stealing checks.
    sendToManager(window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0, 0, 0});
    // The manager acts asynchronously; give it a moment to do so.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < deadline) {
        if (foreground() == window) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void X11WindowControl::setMaximized(WindowId window, bool on) {
    sendToManager(window, "_NET_WM_STATE",
                  {on ? 1 : 0, static_cast<long>(connection_.atom("_NET_WM_STATE_MAXIMIZED_VERT")),
                   static_cast<long>(connection_.atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 1, 0});
}

bool X11WindowControl::show(WindowId window, ShowCommand command) {
    Display* display = connection_.display();
    XErrorTrap trap(display);
    switch (command) {
        case ShowCommand::Hide: XWithdrawWindow(display, window, DefaultScreen(display)); break;
        case ShowCommand::ShowMinimized:
        case ShowCommand::Minimize:
        case ShowCommand::ShowMinNoActive:
            XIconifyWindow(display, window, DefaultScreen(display));
            break;
        case ShowCommand::ShowMaximized:
            XMapRaised(display, window);
            setMaximized(window, true);
            break;
        case ShowCommand::ShowNormal:
        case ShowCommand::Restore:
            XMapRaised(display, window);
            setMaximized(window, false);
            break;
        default: XMapWindow(display, window); break;
    }
    return !trap.failed();
}

}  // namespace ks::x11
