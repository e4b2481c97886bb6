// A plain Xlib window that prints "READY <window id>" once it has the focus,
// then what is typed into it as UTF-8. It reads the keymap as ordinary programs
// do (refreshed when told it changed, keys looked up lazily), so a mapping
// changed under it shows up as wrong characters. Arguments: title, x, y, and
// microseconds of work for each key press. On a Wayland session (no DISPLAY)
// it is a Qt window instead, with the title only.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TypingWindowQt.h"

namespace {

void activate(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
}

}  // namespace

int main(int argc, char** argv) {
    const char* x11 = std::getenv("DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && std::getenv("WAYLAND_DISPLAY") != nullptr)
        return runQtTypingWindow(argc, argv);
    Display* display = XOpenDisplay(nullptr);
    if (!display || argc < 5) return 1;
    XSizeHints hints{};
    hints.flags = USPosition | PPosition;
    hints.x = std::atoi(argv[2]);
    hints.y = std::atoi(argv[3]);
    const int workPerKey = std::atoi(argv[4]);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), hints.x, hints.y,
                                              400, 300, 0, 0, 0xFFFFFF);
    // The title as toolkits set it: UTF-8 in _NET_WM_NAME, the legacy name beside it.
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<unsigned char*>(argv[1]),
                    static_cast<int>(std::strlen(argv[1])));
    XStoreName(display, window, argv[1]);
    XSetWMNormalHints(display, window, &hints);
    XSelectInput(display, window, KeyPressMask | FocusChangeMask | StructureNotifyMask);
    XMapRaised(display, window);

    bool mapped = false, ready = false;
    std::string out;
    for (;;) {
        // A window manager still starting may ignore a request for the focus.
        if (mapped && !ready && XPending(display) == 0) {
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            if (poll(&p, 1, 100) == 0) activate(display, window);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        KeySym keysym = NoSymbol;
        char buffer[32], utf8[8];
        switch (event.type) {
            case MapNotify:
                mapped = true;
                activate(display, window);
                break;
            case FocusIn:
                if (!ready) std::printf("READY %lu\n", window);
                ready = true;
                break;
            case MappingNotify: XRefreshKeyboardMapping(&event.xmapping); break;
            case KeyPress:  // what the keysym stands for, with Enter as a line feed
                XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
                if (xkb_keysym_to_utf8(xkb_keysym_t(keysym), utf8, sizeof utf8) > 1)
                    out += utf8[0] == '\r' ? "\n" : utf8;
                if (workPerKey > 0) usleep(static_cast<useconds_t>(workPerKey));
                break;
        }
        if (XPending(display) == 0) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            std::fflush(stdout);
            out.clear();
        }
    }
}
