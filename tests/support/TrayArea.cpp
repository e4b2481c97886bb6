#include "TrayArea.h"

#include <X11/Xlib.h>

#include <thread>

namespace ks::test {

std::unique_ptr<ChildProcess> startTray(const XvfbSession& xvfb) {
    auto tray = std::make_unique<ChildProcess>(
        std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                 "pixel", "--width", "24", "--height", "24"},
        xvfb.display());
    Display* display = XOpenDisplay(xvfb.display().c_str());
    if (display == nullptr) return tray;
    const Atom area = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    for (int tries = 0; tries < 200 && XGetSelectionOwner(display, area) == None; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XCloseDisplay(display);
    return tray;
}

}  // namespace ks::test
