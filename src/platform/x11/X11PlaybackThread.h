#pragma once

#include <memory>
#include <string>

#include "platform/linux/InjectorPlaybackThread.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// The player's thread on an X connection of its own, opened on first use.
class X11PlaybackThread final : public InjectorPlaybackThread {
public:
    X11PlaybackThread(std::string display, const InputInjector& announcing)
        : InjectorPlaybackThread(announcing), display_(std::move(display)) {}
    ~X11PlaybackThread() override { stop(); }

protected:
    InputInjector* injector() override;
    // Read now, so that the first key event does not spend its due time on
    // the keymap's round trips.
    void prepare() override { injection_->keymap->layout(); }

private:
    struct Injection {
        std::unique_ptr<XConnection> connection;
        std::unique_ptr<X11Keymap> keymap;
        std::unique_ptr<X11InputInjector> injector;
    };

    std::string display_;
    std::unique_ptr<Injection> injection_;
};

}  // namespace ks::x11
