#pragma once

#include <memory>
#include <string>

#include "platform/x11/X11Input.h"
#include "platform/x11/X11WindowControl.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// Every input service on one connection of the program's own, in the order
// they must be torn down (spare keys given back before the connection closes).
class X11Platform {
public:
    static Expected<std::unique_ptr<X11Platform>> open(const std::string& display = {});

    Keymap& keymap() { return keymap_; }
    InputInjector& injector() { return injector_; }
    SpareKeys& spareKeys() { return spareKeys_; }
    KeyboardState& keyboard() { return keyboard_; }
    WindowControl& windows() { return windows_; }
    XConnection& connection() { return *connection_; }

private:
    explicit X11Platform(std::unique_ptr<XConnection> connection);

    std::unique_ptr<XConnection> connection_;
    X11Keymap keymap_;
    X11InputInjector injector_;
    X11SpareKeys spareKeys_;
    X11KeyboardState keyboard_;
    X11WindowControl windows_;
};

}  // namespace ks::x11
