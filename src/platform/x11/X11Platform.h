#pragma once

#include <memory>
#include <string>

#include "platform/linux/LinuxPlatformBase.h"
#include "platform/x11/X11CancelWatch.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/X11InputCapture.h"
#include "platform/x11/X11PlaybackThread.h"
#include "platform/x11/X11Sound.h"
#include "platform/x11/X11WindowControl.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// Every desktop service on an X11 display: the input, keymap and window
// services on one connection of the program's own, the rest on connections
// of their own to the same display. Members are torn down in reverse order,
// so spare keys are given back before the shared connection closes.
class X11Platform final : public LinuxPlatformBase {
public:
    // An empty name opens the session's display ($DISPLAY).
    static Expected<std::unique_ptr<X11Platform>> open(const std::string& display = {});
    ~X11Platform() override;

    Keymap& keymap() override { return keymap_; }
    InputInjector& injector() override { return injector_; }
    SpareKeys& spareKeys() override { return spareKeys_; }
    KeyboardState& keyboard() override { return keyboard_; }
    WindowControl& windows() override { return windows_; }
    Clipboard& clipboard() override { return clipboard_; }
    CancelWatch& playbackCancelWatch() override { return playbackCancelWatch_; }
    PlaybackThread& playbackThread() override { return playbackThread_; }
    CancelWatch& recordCancelWatch() override { return recordCancelWatch_; }
    InputCapture& capture() override { return capture_; }
    std::unique_ptr<KeyWatch> makeKeyWatch() override;
    std::unique_ptr<CancelWatch> makeCancelWatch() override;
    HotKeys& hotKeys() override;
    Sound& sound() override { return sound_; }
    // On a Wayland session (Xwayland), that only X programs' windows are reached.
    std::string startupNotice() override;
    XConnection& connection() { return *connection_; }

private:
    explicit X11Platform(std::unique_ptr<XConnection> connection);

    std::unique_ptr<XConnection> connection_;
    X11Keymap keymap_;
    X11InputInjector injector_;
    X11SpareKeys spareKeys_;
    X11KeyboardState keyboard_;
    X11WindowControl windows_;
    X11Clipboard clipboard_;
    X11CancelWatch playbackCancelWatch_;
    X11PlaybackThread playbackThread_;
    X11CancelWatch recordCancelWatch_;
    X11InputCapture capture_;
    std::unique_ptr<HotKeys> hotKeys_;
    X11Sound sound_;
};

}  // namespace ks::x11
