#pragma once

#include "platform/Sound.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// The X server's bell on the program's own connection. Where the server
// drives a real bell or a desktop plays the bell's sound, the tone keeps its
// pitch and length; Xvfb rings nothing but still reports every bell to
// clients that listen for XKB bell events.
class X11Sound final : public Sound {
public:
    explicit X11Sound(XConnection& connection) : connection_(connection) {}

    void beep(int hertz, int milliseconds) override;
    void alert(std::uint32_t type) override;

private:
    XConnection& connection_;
};

}  // namespace ks::x11
