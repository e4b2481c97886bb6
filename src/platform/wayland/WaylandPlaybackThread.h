#pragma once

#include <memory>
#include <string>

#include "platform/linux/InjectorPlaybackThread.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"

namespace ks::wayland {

// The player's thread with a connection, virtual keyboard and pointer of
// its own, opened on first use. The seat already has the program's main
// keyboard by then, so programs have bound theirs: this second keyboard
// loses no first key.
class WaylandPlaybackThread final : public InjectorPlaybackThread {
public:
    // `socket` as WaylandConnection::open takes it.
    WaylandPlaybackThread(std::string socket, const InputInjector& announcing)
        : InjectorPlaybackThread(announcing), socket_(std::move(socket)) {}
    ~WaylandPlaybackThread() override { stop(); }

protected:
    InputInjector* injector() override;
    // Takes in the keymaps the seat sent since the last playback.
    void prepare() override { input_->keymap().layout(); }

private:
    std::string socket_;
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<WaylandInput> input_;
};

}  // namespace ks::wayland
