#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/SeatKeymap.h"
#include "platform/evdev/EvdevWatches.h"

namespace ks::evdev {

// Makes the input watches of a Wayland session, all from the kernel's
// devices: the player's and the recorder's cancel watches and the
// recorder's capture on the GUI thread, the keyboard-watch thread's watches
// on that thread. They share the seat's keymap, which the display backend
// fills from wl_keyboard.keymap, and one access notice; the watches made
// must not outlive this.
class EvdevServices {
public:
    // `showNotice` tells the user why the devices cannot be read; it runs on
    // the GUI thread once the event in which the need arose is handled,
    // whichever thread found it.
    explicit EvdevServices(std::function<void(const std::string&)> showNotice,
                           std::string folder = "/dev/input");
    EvdevServices(const EvdevServices&) = delete;
    EvdevServices& operator=(const EvdevServices&) = delete;

    // Where the display backend puts the seat's keymap as it changes.
    const std::shared_ptr<SharedSeatKeymap>& seatKeymap() const { return seatKeymap_; }

    // Safe to call from any thread.
    std::unique_ptr<InputCapture> makeCapture() const;
    std::unique_ptr<KeyWatch> makeKeyWatch() const;
    std::unique_ptr<CancelWatch> makeCancelWatch() const;

private:
    std::shared_ptr<SharedSeatKeymap> seatKeymap_ = std::make_shared<SharedSeatKeymap>();
    AccessNotice access_;
    EvdevSetup setup_;
};

}  // namespace ks::evdev
