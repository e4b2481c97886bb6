#pragma once

// Before Xlib, which defines Status as a macro.
#include "store/Result.h"

namespace ks::x11 {
// The program's success-or-error result, under a name Xlib's macro leaves alone.
using Outcome = ::ks::Status;
}  // namespace ks::x11

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace ks::x11 {

// The program's own Xlib connection for input, keymap and window work. Qt's
// connection does not see keymap changes reliably, so everything that reads
// the keymap or injects input goes through one of these.
class XConnection {
public:
    // Opens `name`, or $DISPLAY when empty; fails when the server or one of
    // the XTest and XKB extensions is missing.
    static Expected<std::unique_ptr<XConnection>> open(const std::string& name = {});
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* display() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }

    // Reads every event the server has sent so far (one round trip) and
    // answers whether the keyboard mapping or layout group changed since the
    // last call.
    bool keymapChangedSinceLastCheck();
    // The same without the round trip: only events already received.
    bool keymapChangedSoFar();

    Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

private:
    explicit XConnection(Display* display) : display_(display) {}
    void drainEvents();

    Display* display_;
    bool keymapChanged_ = true;
};

// Catches the X errors of the requests made while it lives, instead of
// letting Xlib's default handler end the program. Single-threaded use only,
// as all of the program's Xlib work is.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to answer everything sent so far; true when an
    // error came back, with its text in `error()`.
    bool failed();
    const std::string& error() const { return error_; }

private:
    static int record(Display* display, XErrorEvent* event);

    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
    XErrorTrap* outer_;
    std::string error_;
    bool failed_ = false;
};

}  // namespace ks::x11
