#pragma once

#include <memory>
#include <string>

#include "platform/KeyWatch.h"

namespace ks::x11 {

// Watches the desktop's keys through XInput2 raw key events on a connection
// of its own, read on the thread that starts it when its socket is readable.
//
// Raw events reach every client that selects them, whichever window has
// the focus or grabs the keyboard, and name the device a key came from: keys
// synthesised through XTest come from an "XTEST" device. They carry no
// modifier state, so the XKB state is followed through its notify events,
// which the server sends in order with the raw events; the layout is read
// again when the keyboard mapping or the layout group changes. A key held
// down is one press: the server's auto-repeat makes no raw events.
class X11KeyWatch final : public KeyWatch {
public:
    // An empty name watches the session's display ($DISPLAY).
    explicit X11KeyWatch(const std::string& displayName = {});
    ~X11KeyWatch() override;

    bool start(Handler onKey) override;
    void stop() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::x11
