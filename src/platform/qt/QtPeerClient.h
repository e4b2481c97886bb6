#pragma once

#include <QNetworkAccessManager>

#include <memory>

#include "platform/PeerClient.h"

namespace ks {

// Peer posts through Qt's network access, one manager for the program.
class QtPeerClient final : public PeerClient {
public:
    std::unique_ptr<PeerPost> post(const std::string& host, std::uint16_t port,
                                   const std::string& body) override;

private:
    // Made on the first post: most runs never talk to a peer, and a manager
    // brings in much of Qt's network code (about half a megabyte resident).
    QNetworkAccessManager& network();

    std::unique_ptr<QNetworkAccessManager> network_;
};

}  // namespace ks
