#pragma once

#include "platform/x11/OwnDisplay.h"
#include "platform/x11/XConnection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

namespace ks::x11 {

struct XkbDescFree {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }
};
// A keyboard description fetched from the server, freed with it.
using XkbDescHolder = std::unique_ptr<XkbDescRec, XkbDescFree>;

// Catches the X errors of one display's requests made while it lives,
// instead of letting Xlib's default handler end the program; errors of any
// other display go to the handler that was there before. Xlib's handler is
// process-wide: only one thread sets traps.
class XErrorTrap {
public:
    struct Error {
        unsigned long serial;
        int code;
    };

    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to answer everything sent so far; true when an
    // error came back, with the first one's text in `error()`.
    bool failed() { return !errors().empty(); }
    const std::string& error() const { return error_; }
    // Waits as failed() does; every error, in request order.
    const std::vector<Error>& errors();

private:
    static int record(Display* display, XErrorEvent* event);

    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
    XErrorTrap* outer_;
    std::string error_;
    std::vector<Error> errors_;
};

// The two connections RECORD needs: the context is made on one and its data
// read on the other. Either is null when the display cannot be opened.
struct RecordConnections {
    explicit RecordConnections(const std::string& display)
        : controlConnection(openOwnDisplay(display)), dataConnection(openOwnDisplay(display)) {}

    OwnDisplay controlConnection;
    OwnDisplay dataConnection;
    Display* const control = controlConnection.get();
    Display* const data = dataConnection.get();
    unsigned long context = 0;  // the XRecordContext, 0 for none
};

}  // namespace ks::x11
