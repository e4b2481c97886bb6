#include "platform/x11/DisplayCheck.h"

#include <X11/Xlib.h>

#include "platform/x11/OwnDisplay.h"

namespace ks::x11 {

bool displayReachable(const std::string& name, std::string& reason) {
    const char* wanted = name.empty() ? nullptr : name.c_str();
    if (!openOwnDisplay(name)) {
        const char* shown = XDisplayName(wanted);
        reason = *shown == '\0' ? "no X display is set (DISPLAY is empty)"
                                : std::string("cannot open the X display \"") + shown + "\"";
        return false;
    }
    return true;
}

ScreenSize defaultScreenSize(const std::string& name) {
    const OwnDisplay display = openOwnDisplay(name);
    if (!display) return {};
    const int screenNumber = DefaultScreen(display.get());
    return {DisplayWidth(display.get(), screenNumber), DisplayHeight(display.get(), screenNumber)};
}

}  // namespace ks::x11
