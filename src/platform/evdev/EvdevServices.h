#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/SeatKeymap.h"
#include "platform/evdev/EvdevWatches.h"

namespace ks::evdev {

// The input watches of a Wayland session, all from the kernel's devices: the
// player's and the recorder's cancel watches and the recorder's capture,
// made with the platform on the GUI thread, and the keyboard-watch thread's
// watches, made on that thread. The seat's keymap is the one the display
// backend follows (wl_keyboard.keymap).
class EvdevServices {
public:
    // `showNotice` tells the user why the devices cannot be read; it runs on
    // the GUI thread once the event in which the need arose is handled,
    // whichever thread found it.
    EvdevServices(const SeatKeymap& keymap, std::function<void(const std::string&)> showNotice,
                  std::string folder = "/dev/input");
    EvdevServices(const EvdevServices&) = delete;
    EvdevServices& operator=(const EvdevServices&) = delete;

    CancelWatch& playbackCancelWatch() { return playbackCancel_; }
    CancelWatch& recordCancelWatch() { return recordCancel_; }
    InputCapture& capture() { return capture_; }
    std::unique_ptr<KeyWatch> makeKeyWatch();
    std::unique_ptr<CancelWatch> makeCancelWatch();

private:
    AccessNotice access_;
    EvdevSetup setup_;
    EvdevCancelWatch playbackCancel_;
    EvdevCancelWatch recordCancel_;
    EvdevInputCapture capture_;
};

}  // namespace ks::evdev
