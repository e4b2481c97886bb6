#pragma once

#include <memory>
#include <string>

#include "platform/CancelWatch.h"

namespace ks::x11 {

// Watches Ctrl+Esc through XInput2 raw key events on a connection of its own.
//
// Raw events name the slave device a key came from. Every XTest client's
// keys come from a master's "XTEST keyboard" slave, so keys this program
// (or any other) synthesises are told apart from a real keyboard's and never
// count, not even a synthesised Control held while the user presses Esc.
class X11CancelWatch final : public CancelWatch {
public:
    // An empty name watches the session's display ($DISPLAY).
    explicit X11CancelWatch(const std::string& displayName = {});
    ~X11CancelWatch() override;

    bool start(Handler onCancel) override;
    void stop() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::x11
