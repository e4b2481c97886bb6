#include "platform/linux/LinuxPlatformBase.h"

#include "platform/qt/QtPeerClient.h"

namespace ks {

LinuxPlatformBase::~LinuxPlatformBase() = default;

// Made on first use, so that a copy that only hands over never makes it.
PeerClient& LinuxPlatformBase::peerClient() {
    if (!peerClient_) peerClient_ = std::make_unique<QtPeerClient>();
    return *peerClient_;
}

}  // namespace ks
