#include "platform/x11/X11WindowControl.h"

#include "platform/ShowPlan.h"
#include "platform/x11/ToolkitWindows.h"
#include "platform/x11/XlibHelpers.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
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

// The root's children a window list can hold, bottom first: no pop-ups that
// their program places itself (override-redirect) and no input-only windows.
// Without a window manager the mapped ones are the windows on screen.
std::vector<unsigned long> rootChildren(Display* display, Window root, bool mappedOnly) {
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<unsigned long> kept;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return kept;
    for (unsigned i = 0; i < count; ++i) {
        XErrorTrap trap(display);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && !trap.failed() &&
            !attributes.override_redirect && attributes.c_class == InputOutput &&
            (!mappedOnly || attributes.map_state == IsViewable)) {
            kept.push_back(children[i]);
        }
    }
    if (children) XFree(children);
    return kept;
}

// The program's window inside `window`: the window itself or, for a frame
// of the window manager, the first window below it that carries WM_STATE.
Window clientOf(Display* display, Window window, Atom wmState) {
    std::vector<Window> pending{window};
    while (!pending.empty()) {
        const Window at = pending.back();
        pending.pop_back();
        if (!longProperty(display, at, wmState, wmState).empty()) return at;
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        XErrorTrap trap(display);
        if (!XQueryTree(display, at, &root, &parent, &children, &count)) continue;
        pending.insert(pending.end(), children, children + count);
        if (children) XFree(children);
    }
    return window;
}

// X geometry is 16 bits wide: positions are signed, sizes at least 1.
long position(long value) {
    return std::clamp(value, -32768L, 32767L);
}
long extent(long value) {
    return std::clamp(value, 1L, 32767L);
}

void setCardinal(Display* display, Window window, Atom property, unsigned long value) {
    XChangeProperty(display, window, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
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
    return (!pid.empty() && pid.front() == static_cast<unsigned long>(getpid())) ||
           madeOnToolkitConnection(window);
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

std::shared_ptr<void> X11WindowControl::watchTopLevelWindows() {
    auto watch = watch_.lock();
    if (!watch) {
        watch = std::make_shared<WindowListWatch>(connection_.displayName());
        watch_ = watch;
    }
    return watch;
}

std::vector<TopLevelWindow> X11WindowControl::topLevelWindows() {
    const auto watch = watch_.lock();
    if (watch && !watch->changed()) return visible_;
    Display* display = connection_.display();
    // Managed clients, minimised ones included, in stacking order bottom first.
    std::vector<unsigned long> stack =
        managerSupports("_NET_CLIENT_LIST_STACKING")
            ? longProperty(display, connection_.root(),
                           connection_.atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW)
            : rootChildren(display, connection_.root(), true);
    // Watched before their titles are read: a later change is then seen.
    if (watch) watch->watch(stack);
    visible_.clear();
    for (auto at = stack.rbegin(); at != stack.rend(); ++at) {
        if (exists(*at)) visible_.push_back(describe(*at));
    }
    return visible_;
}

std::vector<TopLevelWindow> X11WindowControl::allTopLevelWindows() {
    Display* display = connection_.display();
    const Atom wmState = connection_.atom("WM_STATE");
    const auto children = rootChildren(display, connection_.root(), false);
    std::vector<TopLevelWindow> windows;
    for (auto at = children.rbegin(); at != children.rend(); ++at) {
        windows.push_back(describe(clientOf(display, *at, wmState)));
    }
    return windows;
}

TopLevelWindow X11WindowControl::describe(WindowId window) {
    return {window, title(window), hasType(window, "_NET_WM_WINDOW_TYPE_DOCK")};
}

bool X11WindowControl::hasState(WindowId window, std::initializer_list<const char*> names) {
    const auto states =
        longProperty(connection_.display(), window, connection_.atom("_NET_WM_STATE"), XA_ATOM);
    for (const char* name : names) {
        if (std::find(states.begin(), states.end(), connection_.atom(name)) != states.end()) {
            return true;
        }
    }
    return false;
}

std::optional<WindowPlacement> X11WindowControl::placement(WindowId window) {
    Display* display = connection_.display();
    XWindowAttributes attributes;
    {
        XErrorTrap trap(display);
        if (!XGetWindowAttributes(display, window, &attributes) || trap.failed()) {
            return std::nullopt;
        }
    }
    const auto outer = rect(window);
    if (!outer) return std::nullopt;
    const Atom wmState = connection_.atom("WM_STATE");
    const auto icccmState = longProperty(display, window, wmState, wmState);
    WindowPlacement placement{WindowState::Normal, *outer};
    if (!icccmState.empty() && icccmState.front() == IconicState) {
        placement.state = WindowState::Minimized;
    } else if (attributes.map_state == IsUnmapped) {
        placement.state = WindowState::Hidden;
    } else if (hasState(window, {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
                                 "_NET_WM_STATE_FULLSCREEN"})) {
        placement.state = WindowState::Maximized;
    }
    return placement;
}

bool X11WindowControl::moveResize(WindowId window, const ScreenRect& outer) {
    Display* display = connection_.display();
    // _NET_FRAME_EXTENTS: left, right, top, bottom; the size asked for is the client's.
    auto frame = longProperty(display, window, connection_.atom("_NET_FRAME_EXTENTS"), XA_CARDINAL);
    frame.resize(4, 0);
    const auto span = [](int from, int to, unsigned long frames) {
        return extent(static_cast<long>(to) - from - static_cast<long>(frames));
    };
    const long width = span(outer.left, outer.right, frame[0] + frame[1]);
    const long height = span(outer.top, outer.bottom, frame[2] + frame[3]);
    const long left = position(outer.left), top = position(outer.top);
    XErrorTrap trap(display);
    if (managerSupports("_NET_MOVERESIZE_WINDOW")) {
        // North-west gravity puts the frame's corner at the position; x, y,
        // width and height given; source 2, a tool acting for the user.
        constexpr long kFlags = NorthWestGravity | (0xF << 8) | (2 << 12);
        sendToManager(window, "_NET_MOVERESIZE_WINDOW", {kFlags, left, top, width, height});
    } else {
        XMoveResizeWindow(display, window, static_cast<int>(left), static_cast<int>(top),
                          static_cast<unsigned>(width), static_cast<unsigned>(height));
    }
    return !trap.failed();
}

bool X11WindowControl::hasManager() {
    return managerSupports("_NET_CLIENT_LIST");
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
    // without focus-stealing checks. They act asynchronously: give them a moment.
    sendToManager(window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0, 0, 0});
    return waitUntil([&] { return foreground() == window; });
}

void X11WindowControl::setMaximized(WindowId window, bool on) {
    sendToManager(window, "_NET_WM_STATE",
                  {on ? 1 : 0, static_cast<long>(connection_.atom("_NET_WM_STATE_MAXIMIZED_VERT")),
                   static_cast<long>(connection_.atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 1, 0});
}

bool X11WindowControl::waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// ICCCM: the manager sets WM_STATE when it takes a window on and removes it
// (or sets it to withdrawn) once it has let the window go; only then may the
// window be mapped again.
bool X11WindowControl::managed(WindowId window) {
    const Atom wmState = connection_.atom("WM_STATE");
    const auto state = longProperty(connection_.display(), window, wmState, wmState);
    return !state.empty() && state.front() != WithdrawnState;
}

// Maps a withdrawn window. A withdrawn window's _NET_WM_STATE is its own to
// set, which managers read as the state to map it in. A user time of 0 asks
// the manager not to focus it; the manager reads that while it takes the
// window on, so the window's own value goes back only once the manager has
// shown it (or, minimised, taken it on).
void X11WindowControl::mapHidden(WindowId window, bool activate, bool iconic) {
    Display* display = connection_.display();
    if (!hasManager()) {
        XMapWindow(display, window);
        return;
    }
    if (iconic) {
        const unsigned long hidden = connection_.atom("_NET_WM_STATE_HIDDEN");
        XChangeProperty(display, window, connection_.atom("_NET_WM_STATE"), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&hidden), 1);
    }
    const auto timeWindow =
        longProperty(display, window, connection_.atom("_NET_WM_USER_TIME_WINDOW"), XA_WINDOW);
    const Window holder = timeWindow.empty() ? window : timeWindow.front();
    const Atom userTime = connection_.atom("_NET_WM_USER_TIME");
    const auto saved = longProperty(display, holder, userTime, XA_CARDINAL);
    if (!activate) setCardinal(display, holder, userTime, 0);
    XMapWindow(display, window);
    XFlush(display);
    waitUntil([&] {
        XWindowAttributes attributes;
        XErrorTrap trap(display);
        return iconic ? managed(window)
                      : XGetWindowAttributes(display, window, &attributes) && !trap.failed() &&
                            attributes.map_state == IsViewable;
    });
    if (activate) return;
    if (saved.empty()) {
        XDeleteProperty(display, holder, userTime);
    } else {
        setCardinal(display, holder, userTime, saved.front());
    }
}

// ICCCM: mapping an iconic window makes it normal, and managers activate it
// then; removing the hidden state shows it where the manager allows that
// without activating it.
void X11WindowControl::deiconify(WindowId window, bool activate) {
    if (!activate && managerSupports("_NET_WM_STATE_HIDDEN")) {
        sendToManager(window, "_NET_WM_STATE",
                      {0, static_cast<long>(connection_.atom("_NET_WM_STATE_HIDDEN")), 0, 1, 0});
        return;
    }
    XMapWindow(connection_.display(), window);
}

bool X11WindowControl::show(WindowId window, ShowCommand command) {
    const auto plan = planOf(command);
    const auto before = placement(window);
    if (!plan || !before) return false;
    Display* display = connection_.display();
    XErrorTrap trap(display);
    if (plan->target == ShowTarget::Withdraw) {
        XWithdrawWindow(display, window, DefaultScreen(display));
        if (hasManager()) waitUntil([&] { return !managed(window); });
        return !trap.failed();
    }
    // Without a manager there is no minimised or maximised state to give.
    if ((plan->target == ShowTarget::Iconify || plan->target == ShowTarget::Maximize) &&
        !hasManager()) {
        return false;
    }
    WindowState state = before->state;
    if (state == WindowState::Hidden) {
        mapHidden(window, plan->activate, plan->target == ShowTarget::Iconify);
        state = plan->target == ShowTarget::Iconify ? WindowState::Minimized : WindowState::Normal;
    }
    switch (plan->target) {
        case ShowTarget::Iconify:
            if (state != WindowState::Minimized) {
                XIconifyWindow(display, window, DefaultScreen(display));
            }
            return !trap.failed();
        case ShowTarget::Restore:
        case ShowTarget::Maximize:
            setMaximized(window, plan->target == ShowTarget::Maximize);
            if (state == WindowState::Minimized) deiconify(window, plan->activate);
            break;
        case ShowTarget::AsIs:
        case ShowTarget::Withdraw: break;
    }
    // An activated window is deiconified on X: as it is, a minimised one stays
    // so. Activations are waited for: openbox, asked to activate several
    // windows at once while it maximises them, sometimes activated none.
    const bool keepsIconic = plan->target == ShowTarget::AsIs && state == WindowState::Minimized;
    if (plan->activate && !keepsIconic) setForeground(window);
    XFlush(display);
    return !trap.failed();
}

}  // namespace ks::x11
