#include "platform/qt/QtPeerClient.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace ks {

namespace {

constexpr int kTransferTimeoutMs = 30000;

class QtPeerPost final : public PeerPost {
public:
    explicit QtPeerPost(QNetworkReply* reply) : reply_(reply) {}
    ~QtPeerPost() override {
        if (!reply_->isFinished()) reply_->abort();
    }

    State state() const override {
        if (!reply_->isFinished()) return State::Waiting;
        return reply_->error() == QNetworkReply::NoError ? State::Answered : State::Failed;
    }
    std::string body() const override {
        return reply_->peek(reply_->bytesAvailable()).toStdString();
    }

private:
    std::unique_ptr<QNetworkReply> reply_;
};

}  // namespace

QNetworkAccessManager& QtPeerClient::network() {
    if (!network_) {
        network_ = std::make_unique<QNetworkAccessManager>();
        network_->setProxy(QNetworkProxy::NoProxy);
    }
    return *network_;
}

std::unique_ptr<PeerPost> QtPeerClient::post(const std::string& host, std::uint16_t port,
                                             const std::string& body) {
    // Built from its parts, so that no text can change the host, port or
    // path the request goes to.
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QString::fromStdString(host), QUrl::StrictMode);
    url.setPort(port);
    url.setPath(QStringLiteral("/"));
    if (port == 0 || !url.isValid() || url.host().isEmpty()) return nullptr;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/xml"));
    request.setTransferTimeout(kTransferTimeoutMs);
    return std::make_unique<QtPeerPost>(network().post(request, QByteArray::fromStdString(body)));
}

}  // namespace ks
