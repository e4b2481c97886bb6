#pragma once

#include <memory>
#include <string>

// Xlib's display type, declared without Xlib so that its macros stay out of
// every file that holds a connection.
typedef struct _XDisplay Display;

namespace ks::x11 {

struct DisplayCloser {
    void operator()(Display* display) const;
};

// A connection of this program's own, closed with its owner.
using OwnDisplay = std::unique_ptr<Display, DisplayCloser>;

// Opens `name` (":1"); an empty name opens the session's display ($DISPLAY).
OwnDisplay openOwnDisplay(const std::string& name);

}  // namespace ks::x11
