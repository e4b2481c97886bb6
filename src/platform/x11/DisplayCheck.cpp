#include "platform/x11/DisplayCheck.h"

#include <X11/Xlib.h>

namespace ks {

bool displayReachable(const std::string& name, std::string& reason) {
    const char* wanted = name.empty() ? nullptr : name.c_str();
    Display* display = XOpenDisplay(wanted);
    if (display == nullptr) {
        const char* shown = XDisplayName(wanted);
        reason = *shown == '\0' ? "no X display is set (DISPLAY is empty)"
                                : std::string("cannot open the X display \"") + shown + "\"";
        return false;
    }
    XCloseDisplay(display);
    return true;
}

}  // namespace ks
