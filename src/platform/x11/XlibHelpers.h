#pragma once

#include "platform/x11/XConnection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace ks::x11 {

struct XkbDescFree {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }
};
// A keyboard description fetched from the server, freed with it.
using XkbDescHolder = std::unique_ptr<XkbDescRec, XkbDescFree>;

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
