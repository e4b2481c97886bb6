#pragma once

#include <QNetworkAccessManager>

#include "platform/PeerClient.h"

namespace ks {

// Peer posts through Qt's network access, one manager for the program.
class QtPeerClient final : public PeerClient {
public:
    QtPeerClient();

    std::unique_ptr<PeerPost> post(const std::string& host, std::uint16_t port,
                                   const std::string& body) override;

private:
    QNetworkAccessManager network_;
};

}  // namespace ks
