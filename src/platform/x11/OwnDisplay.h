#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace ks::x11 {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// A connection of this program's own, closed with its owner.
using OwnDisplay = std::unique_ptr<Display, DisplayCloser>;

// Opens `name` (":1"); an empty name opens the session's display ($DISPLAY).
inline OwnDisplay openOwnDisplay(const std::string& name) {
    return OwnDisplay(XOpenDisplay(name.empty() ? nullptr : name.c_str()));
}

}  // namespace ks::x11
