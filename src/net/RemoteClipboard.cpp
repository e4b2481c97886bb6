#include "net/RemoteClipboard.h"

#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <memory>

#include "core/Messages.h"
#include "core/Utf8.h"
#include "expand/VariableTable.h"
#include "net/Reply.h"
#include "runner/RunControl.h"
#include "xml/XmlDocument.h"

namespace ks {

namespace {

constexpr const char* kLocalErrorTitle = "Keystrider - Error";
constexpr const char* kExchangeErrorTitle = "Keystrider Error";
constexpr const char* kThisMachine =
    "You can not remotely copy the contents of the clipboard on the machine that this instance "
    "of Keystrider is running on.";
// How often the wait looks whether the reply has come.
constexpr std::chrono::milliseconds kLook{5};

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return utf8::upper(a) == utf8::upper(b);
}

}  // namespace

LocalHost systemLocalHost() {
    return LocalHost{[]() -> std::optional<std::string> {
                         const QString name = QHostInfo::localHostName();
                         if (name.isEmpty()) return std::nullopt;
                         return name.toStdString();
                     },
                     [](const std::string& name) {
                         std::vector<std::string> addresses;
                         for (const QHostAddress& address :
                              QHostInfo::fromName(QString::fromStdString(name)).addresses()) {
                             addresses.push_back(address.toString().toStdString());
                         }
                         return addresses;
                     }};
}

std::span<const CommandId> RemoteClipboardCommand::ids() const {
    static constexpr CommandId kIds[] = {kCopyRemoteClipBoard};
    return kIds;
}

CommandResult RemoteClipboardCommand::run(std::uint32_t, CommandContext& command) {
    const std::optional<std::string> address = command.text("IPAddress");
    if (!address) return CommandResult::Next;
    const std::optional<std::string> port = command.text("Port");
    if (!port) return CommandResult::Next;
    const std::optional<std::string> bufferName = command.text("BufName");
    if (!bufferName) return CommandResult::Next;
    const std::string host = trimmed(*address);
    if (host.empty()) {
        showError("IP Address/Host Name: can not be empty.", kLocalErrorTitle);
    } else if (!refusedAsThisMachine(host)) {
        if (const std::optional<std::string> body = exchange(host, *port))
            takeReply(*body, *bufferName);
    }
    return CommandResult::Next;
}

bool RemoteClipboardCommand::refusedAsThisMachine(const std::string& host) {
    const std::optional<std::string> name = services_.localHost.name();
    if (!name) {
        showError("Can't resolve this machine's Host/Computer Name.  Check network connection.",
                  kLocalErrorTitle);
        return true;
    }
    if (sameIgnoringCase(host, *name)) {
        showError(kThisMachine, kLocalErrorTitle);
        return true;
    }
    const std::vector<std::string> addresses = services_.localHost.addresses(*name);
    if (addresses.empty()) {
        showError("Can't resolve this machine's IP Address(es).  Check network connection.",
                  kLocalErrorTitle);
        return true;
    }
    for (const std::string& address : addresses) {
        if (sameIgnoringCase(host, address)) {
            showError(kThisMachine, kLocalErrorTitle);
            return true;
        }
    }
    return false;
}

std::optional<std::string> RemoteClipboardCommand::exchange(const std::string& host,
                                                            const std::string& port) {
    // An IPv6 address is bracketed, as a URL writes it.
    const std::string authority = host.find(':') == std::string::npos ? host : "[" + host + "]";
    const QUrl url(QString::fromStdString("http://" + authority + ":" + port + "/"),
                   QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        showError("Error opening Http Request object.", kExchangeErrorTitle);
        return std::nullopt;
    }
    const QByteArray request = QByteArray("<?xml version=\"1.0\"?><MsgID ID=\"") +
                               QByteArray::number(kRequestClipboard) + "\"></MsgID>";
    QNetworkAccessManager network;
    // The peer is named by the macro and reached directly, never through a proxy.
    network.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest post(url);
    post.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/xml"));
    post.setTransferTimeout(static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kTransferTimeout).count()));
    for (int send = 0; send < kSends; ++send) {
        const std::unique_ptr<QNetworkReply> reply(network.post(post, request));
        while (!reply->isFinished()) {
            if (!services_.run.WaitWhileRunning(kLook)) {
                reply->abort();
                return std::nullopt;
            }
        }
        if (reply->error() == QNetworkReply::NoError) return reply->readAll().toStdString();
    }
    showError("Error sending request.", kExchangeErrorTitle);
    return std::nullopt;
}

void RemoteClipboardCommand::takeReply(const std::string& body, const std::string& bufferName) {
    XmlError error;
    const std::optional<XmlDocument> document = XmlDocument::parse(body, error);
    if (!document) return showError("Error loading DOM Document object.", kExchangeErrorTitle);
    const std::optional<std::int32_t> code = rootId(*document, services_.messages);
    if (!code) return;
    if (*code == kReplyClipboard) {
        if (const auto text = firstText(*document, "ClipBoard", services_.messages)) {
            services_.variables.SetVariable(bufferName, *text);
        }
    } else if (const auto text = firstText(*document, "Desc", services_.messages)) {
        showError(*text, kExchangeErrorTitle);
    }
}

void RemoteClipboardCommand::showError(const std::string& text, const char* title) {
    services_.messages.show(text, title, MsgIcon::Stop);
}

}  // namespace ks
