#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <vector>

namespace ks::x11 {

// Keeps the loss of this program's own connections (the X server ended, or
// the connection was killed with XKillClient) from ending the program, and
// tells its owner instead.
//
// What Xlib 1.8 does on a broken connection (_XIOError): it marks the
// display with XlibDisplayIOError, calls the process-wide handler of
// XSetIOErrorHandler and then the display's own exit handler of
// XSetIOErrorExitHandler (libX11 1.7 and later). The defaults of both call
// exit(1), and so does the handler Qt's xcb platform installs (it prints
// "The X11 connection broke" and hands over to Xlib's default). Only when
// both return does Xlib return too: the failed call gives zeros, later
// calls on the marked display return at once without talking to the
// server, and XCloseDisplay merely frees it. So the guard installs a
// process-wide handler that returns for the displays it watches and passes
// every other display to the handler it replaced, and gives each watched
// display an exit handler that only notes the loss. Both run inside Xlib,
// so `onLost` must do nothing but note the loss for the owner to act on
// once Xlib has returned.
class ConnectionLossGuard {
public:
    explicit ConnectionLossGuard(std::function<void()> onLost);
    ~ConnectionLossGuard();
    ConnectionLossGuard(const ConnectionLossGuard&) = delete;
    ConnectionLossGuard& operator=(const ConnectionLossGuard&) = delete;

    // Watches an open display from now until forget(); the display must be
    // closed before forget(), as closing a broken display may meet the
    // loss again.
    void watch(Display* display);
    void forget();

private:
    static void noteLoss(Display* display, void* guard);

    std::function<void()> onLost_;
    std::vector<Display*> displays_;
};

}  // namespace ks::x11
