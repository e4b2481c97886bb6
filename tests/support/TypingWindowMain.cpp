// A plain Xlib window that writes every character typed into it to standard
// output, as UTF-8. It reads the keymap the way ordinary programs do: it
// refreshes Xlib's copy when told the mapping changed and looks keys up
// lazily, so a mapping changed under it shows up as wrong characters.
//
// Prints "READY <window id>" once it has the focus, then the text.
// Arguments: title, x, y, and microseconds to spend on each key press.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <poll.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// What a key press types, as UTF-8: what the keysym stands for, with Enter
// as a line feed.
std::string textOf(KeySym keysym) {
    if (keysym == XK_Return || keysym == XK_KP_Enter) return "\n";
    char utf8[8] = {};
    const int length = xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(keysym), utf8, sizeof utf8);
    return length > 1 ? std::string(utf8) : std::string();
}

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
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const char* title = argc > 1 ? argv[1] : "typing window";
    const int x = argc > 2 ? std::atoi(argv[2]) : 100;
    const int y = argc > 3 ? std::atoi(argv[3]) : 100;
    // A slow target: microseconds of work for every key press.
    const int workPerKey = argc > 4 ? std::atoi(argv[4]) : 0;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 400, 300,
                                              0, 0, WhitePixel(display, DefaultScreen(display)));
    // The title as toolkits set it: UTF-8 in _NET_WM_NAME, the legacy name beside it.
    XStoreName(display, window, title);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title),
                    static_cast<int>(std::strlen(title)));
    XSizeHints hints{};
    hints.flags = USPosition | PPosition;
    hints.x = x;
    hints.y = y;
    XSetWMNormalHints(display, window, &hints);
    XSelectInput(display, window,
                 KeyPressMask | FocusChangeMask | StructureNotifyMask | ExposureMask);
    XMapRaised(display, window);

    bool ready = false;
    bool mapped = false;
    std::string out;
    for (;;) {
        // A window manager that is still starting may ignore the first
        // request for the focus: ask again until the focus arrives.
        if (!ready && mapped && XPending(display) == 0) {
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            if (poll(&p, 1, 100) == 0) activate(display, window);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
            case MapNotify:
                mapped = true;
                activate(display, window);
                break;
            case FocusIn:
                if (!ready) {
                    ready = true;
                    std::printf("READY %lu\n", window);
                    std::fflush(stdout);
                }
                break;
            case MappingNotify: XRefreshKeyboardMapping(&event.xmapping); break;
            case KeyPress: {
                char buffer[32];
                KeySym keysym = NoSymbol;
                XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
                out += textOf(keysym);
                if (workPerKey > 0) usleep(static_cast<useconds_t>(workPerKey));
                break;
            }
            default: break;
        }
        if (!out.empty() && XPending(display) == 0) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            std::fflush(stdout);
            out.clear();
        }
    }
}
