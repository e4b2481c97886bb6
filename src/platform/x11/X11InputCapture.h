#pragma once

#include <memory>
#include <string>

#include "platform/InputCapture.h"

namespace ks::x11 {

// Captures the desktop's input through the RECORD extension on two
// connections of its own: the context is made on a control connection and
// its data read on a data connection by a thread of its own, which hands the
// events to the GUI thread, so the GUI thread never waits for input.
class X11InputCapture final : public InputCapture {
public:
    // An empty name captures the session's display ($DISPLAY).
    explicit X11InputCapture(const std::string& displayName = {});
    ~X11InputCapture() override;

    bool start(EventsHandler onEvents, LostHandler onLost) override;
    void stop() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::x11
