#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/Result.h"
#include "platform/CancelWatch.h"
#include "platform/Clipboard.h"
#include "platform/HotKeys.h"
#include "platform/InputCapture.h"
#include "platform/InputInjector.h"
#include "platform/KeyWatch.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/PlaybackThread.h"
#include "platform/SpareKeys.h"
#include "platform/WindowControl.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDesktop.h"

namespace ks::wayland {

class WaylandPlatform;

// What a builder may use: the GUI thread's connection with its globals, the
// desktop's classification, the compositor's and sway's sockets, and the
// platform with the services built before (the keymap and the injector are
// built first, in the order of WaylandServiceBuilders' members).
struct BuildContext {
    WaylandConnection& connection;
    const WaylandDesktop& desktop;
    std::string displayName;  // for a connection of a builder's own
    std::string swaySocket;   // empty without sway
    WaylandPlatform& platform;
};

template <typename Service>
using ServiceBuilder = std::function<Expected<std::unique_ptr<Service>>(BuildContext&)>;

// The slots the Wayland backend's parts fill. WaylandPlatform calls a builder
// only where the desktop offers its capability (named beside it); without a
// builder, or when one fails, the service is the refusing one, with the
// refusal's message (and the builder's error) saying why. A builder's
// service may keep references to the context's connection and platform.
struct WaylandServiceBuilders {
    ServiceBuilder<Keymap> keymap;                  // Typing; else the default layout
    ServiceBuilder<InputInjector> injector;         // Typing (the pointer is its own check)
    ServiceBuilder<SpareKeys> spareKeys;            // Typing
    ServiceBuilder<KeyboardState> keyboard;         // Typing
    ServiceBuilder<PlaybackThread> playbackThread;  // Playback
    ServiceBuilder<WindowControl> windows;          // Windows
    ServiceBuilder<Clipboard> clipboard;            // Clipboard
    ServiceBuilder<HotKeys> hotKeys;                // HotKeys, built on first use
    ServiceBuilder<InputCapture> capture;           // KeyWatch
    // KeyWatch. Also called on the keyboard-watch thread (makeKeyWatch,
    // makeCancelWatch): there a builder may use only displayName,
    // swaySocket and desktop, and opens its own connection.
    ServiceBuilder<CancelWatch> cancelWatch;
    ServiceBuilder<KeyWatch> keyWatch;
};

// The builders of the parts this backend has. Each part sets its member in
// WaylandServices.cpp; nothing else changes to plug it in.
WaylandServiceBuilders waylandServiceBuilders();

}  // namespace ks::wayland
