#pragma once

#include <memory>
#include <string>

#include "platform/CancelWatch.h"
#include "platform/Clipboard.h"
#include "platform/ClockChanges.h"
#include "platform/HotKeys.h"
#include "platform/InputCapture.h"
#include "platform/InputInjector.h"
#include "platform/KeyWatch.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/Launcher.h"
#include "platform/OpticalDrives.h"
#include "platform/PeerClient.h"
#include "platform/PlaybackThread.h"
#include "platform/Power.h"
#include "platform/ShareMounts.h"
#include "platform/Sound.h"
#include "platform/SpareKeys.h"
#include "platform/SystemClock.h"
#include "platform/SystemValues.h"
#include "platform/WindowControl.h"

namespace ks {

// Every desktop service the program uses, opened together by one backend so
// that a test or another display system swaps them all in one place.
class Platform {
public:
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    virtual ~Platform() = default;

    virtual Keymap& keymap() = 0;
    virtual InputInjector& injector() = 0;
    virtual SpareKeys& spareKeys() = 0;
    virtual KeyboardState& keyboard() = 0;
    virtual WindowControl& windows() = 0;
    virtual SystemValues& systemValues() = 0;
    virtual Clipboard& clipboard() = 0;
    // The player's watch for Ctrl+Esc.
    virtual CancelWatch& playbackCancelWatch() = 0;
    // The player's thread, with an injector on a connection of its own.
    virtual PlaybackThread& playbackThread() = 0;
    // The recorder's own: a capture may begin while a playback watches.
    virtual CancelWatch& recordCancelWatch() = 0;
    virtual InputCapture& capture() = 0;
    // For the keyboard-watch thread: watches on connections of their own,
    // to be started on the thread that calls these.
    virtual std::unique_ptr<KeyWatch> makeKeyWatch() = 0;
    virtual std::unique_ptr<CancelWatch> makeCancelWatch() = 0;
    // Opened on first use, so that a copy that only hands over to a running
    // one never connects for them; when the display cannot give hot keys,
    // one that refuses every registration with the reason.
    virtual HotKeys& hotKeys() = 0;
    virtual Sound& sound() = 0;
    virtual Launcher& launcher() = 0;
    virtual ShareMounts& shares() = 0;
    virtual OpticalDrives& opticalDrives() = 0;
    virtual Power& power() = 0;
    // Notices that the wall clock was set or the machine resumed.
    virtual ClockChanges& clockChanges() = 0;
    virtual SystemClock& systemClock() = 0;
    // Made on first use, so that a copy that only hands over never makes it.
    virtual PeerClient& peerClient() = 0;
    // What the program cannot do on this desktop and what works, said once
    // when it starts; empty where everything works.
    virtual std::string startupNotice() { return {}; }
};

}  // namespace ks
