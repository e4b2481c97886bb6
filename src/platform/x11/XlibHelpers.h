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

// The two connections RECORD needs: the context is made on one and its data
// read on the other. Either is null when the display cannot be opened.
struct RecordConnections {
    explicit RecordConnections(const std::string& display)
        : control(XOpenDisplay(display.c_str())), data(XOpenDisplay(display.c_str())) {}
    ~RecordConnections() {
        if (data) XCloseDisplay(data);
        if (control) XCloseDisplay(control);
    }
    RecordConnections(const RecordConnections&) = delete;
    RecordConnections& operator=(const RecordConnections&) = delete;

    Display* control;
    Display* data;
    unsigned long context = 0;  // the XRecordContext, 0 for none
};

}  // namespace ks::x11
