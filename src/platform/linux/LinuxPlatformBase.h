#pragma once

#include <memory>

#include "platform/Platform.h"
#include "platform/linux/DesktopLauncher.h"
#include "platform/linux/GvfsShares.h"
#include "platform/linux/LinuxClockChanges.h"
#include "platform/linux/LinuxSystemClock.h"
#include "platform/linux/LinuxSystemValues.h"
#include "platform/linux/LogindPower.h"
#include "platform/linux/UDisksDrives.h"

namespace ks {

// The services every Linux desktop gives alike, whatever its display
// system: programs and documents, shares, drives, power, the clocks, the
// system values (with the screen as the backend measures it) and the HTTP
// client for peers. The X11 and Wayland platforms add the desktop services.
class LinuxPlatformBase : public Platform {
public:
    explicit LinuxPlatformBase(LinuxSystemValues::ScreenMeasure screen)
        : systemValues_(std::move(screen)) {}
    ~LinuxPlatformBase() override;

    SystemValues& systemValues() override { return systemValues_; }
    Launcher& launcher() override { return launcher_; }
    ShareMounts& shares() override { return shares_; }
    OpticalDrives& opticalDrives() override { return opticalDrives_; }
    Power& power() override { return power_; }
    ClockChanges& clockChanges() override { return clockChanges_; }
    SystemClock& systemClock() override { return systemClock_; }
    PeerClient& peerClient() override;

private:
    LinuxSystemValues systemValues_;
    DesktopLauncher launcher_;
    GvfsShares shares_;
    UDisksDrives opticalDrives_;
    LogindPower power_;
    LinuxClockChanges clockChanges_;
    LinuxSystemClock systemClock_;
    std::unique_ptr<PeerClient> peerClient_;
};

}  // namespace ks
