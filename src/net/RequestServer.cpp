#include "net/RequestServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <utility>

#include "core/PlusDigits.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "net/HttpRequest.h"
#include "net/MessageIdTable.h"
#include "net/Reply.h"
#include "platform/Clipboard.h"
#include "xml/XmlDocument.h"

namespace ks {

namespace {

constexpr int kListenBacklog = 5;
// Connections accepted while one is served wait here; beyond it the
// listener leaves them to the system's backlog.
constexpr int kQueuedConnections = 5;
constexpr std::size_t kReadChunk = 30000;
constexpr const char* kServerErrorTitle = "Keystrider Error";

constexpr int kErrorReading = 106;
constexpr int kErrorGettingXml = 112;
constexpr int kErrorAccepting = 133;
constexpr int kErrorClipboard = 132;
constexpr int kErrorDocumentHeader = 123;

QHostAddress plainAddress(const QHostAddress& address) {
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4) : address;
}

std::string upperAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

// An element's name without its namespace prefix.
std::string baseName(const std::string& name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string parseErrorText(const XmlError& error) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Keystrider Error: Code = 0x%x - Source = Line : %ld; Char : %ld - Error "
                  "Description = ",
                  static_cast<unsigned>(error.code), static_cast<long>(error.line),
                  static_cast<long>(error.column));
    return text + error.reason;
}

const XmlElement* childByBaseName(const XmlElement& parent, std::string_view name) {
    for (const XmlElement& child : parent.children) {
        if (upperAscii(baseName(child.name)) == upperAscii(std::string(name))) return &child;
    }
    return nullptr;
}

}  // namespace

std::optional<std::vector<QHostAddress>> parsePeerList(std::string_view list) {
    std::vector<QHostAddress> peers;
    std::string entry;
    auto takeEntry = [&peers, &entry] {
        if (entry.empty()) return true;
        const QHostAddress address(QString::fromStdString(std::exchange(entry, {})));
        if (address.isNull()) return false;
        peers.push_back(plainAddress(address));
        return true;
    };
    for (char c : list) {
        if (c == ' ' || c == '\t' || c == ',' || c == ';') {
            if (!takeEntry()) return std::nullopt;
        } else {
            entry += c;
        }
    }
    if (!takeEntry()) return std::nullopt;
    return peers;
}

// One accepted connection, from its first byte to its close.
class RequestServer::Connection final : public QObject {
public:
    enum class Stage { Reading, AwaitingRun, Replying };

    Connection(QTcpSocket* accepted, QObject* parent)
        : QObject(parent), socket(accepted), idle(this) {
        socket->setParent(this);
        // Unread bytes stay in the system, so a peer that sends on cannot
        // grow the program's memory.
        socket->setReadBufferSize(2 * kReadChunk);
        address = plainAddress(socket->peerAddress());
        peer = address.toString().toStdString();
        idle.setSingleShot(true);
    }

    QTcpSocket* socket;
    QTimer idle;
    RequestParser parser;
    Stage stage = Stage::Reading;
    QHostAddress address;
    std::string peer;
    std::string awaitedMacro;
    std::int32_t pushRequest = 0;  // a request to push to the peer once closed
    bool finished = false;
};

RequestServer::RequestServer(Services services, RequestServerHooks hooks)
    : services_(services), hooks_(std::move(hooks)) {}

RequestServer::~RequestServer() = default;

bool RequestServer::StartServer(std::uint16_t port) {
    StopServer();
    auto listener = std::make_unique<QTcpServer>();
    listener->setListenBacklogSize(kListenBacklog);
    listener->setMaxPendingConnections(kQueuedConnections);
    if (!listener->listen(QHostAddress::Any, port)) {
        std::cerr << "Keystrider: cannot listen on port " << port << ": "
                  << listener->errorString().toStdString() << '\n';
        services_.messages.show(std::to_string(port), kServerErrorTitle, MsgIcon::Stop);
        return false;
    }
    connect(listener.get(), &QTcpServer::newConnection, this, [this] { serveNext(); });
    connect(listener.get(), &QTcpServer::acceptError, this,
            [this] { serverError(kErrorAccepting); });
    listener_ = std::move(listener);
    return true;
}

void RequestServer::StopServer() {
    listener_.reset();
}

bool RequestServer::listening() const {
    return listener_ != nullptr && listener_->isListening();
}

std::uint16_t RequestServer::port() const {
    return listening() ? listener_->serverPort() : 0;
}

void RequestServer::serveNext() {
    while (!current_ && listener_ && listener_->hasPendingConnections()) {
        auto* connection = new Connection(listener_->nextPendingConnection(), this);
        current_ = connection;
        connect(connection->socket, &QTcpSocket::readyRead, connection,
                [this, connection] { read(*connection); });
        connect(connection->socket, &QTcpSocket::disconnected, connection,
                [this, connection] { finish(*connection); });
        connect(&connection->idle, &QTimer::timeout, connection, [this, connection] {
            connection->socket->abort();
            finish(*connection);
        });
        connection->idle.start(idleLimit_);
        if (connection->socket->bytesAvailable() > 0) read(*connection);
    }
}

void RequestServer::read(Connection& connection) {
    if (connection.stage != Connection::Stage::Reading) return;
    connection.idle.start(idleLimit_);
    std::string buffer(kReadChunk, '\0');
    for (;;) {
        const qint64 count = connection.socket->read(buffer.data(), kReadChunk);
        if (count == 0) return;
        if (count < 0) {
            serverError(kErrorReading);
            connection.socket->abort();
            return finish(connection);
        }
        const auto progress =
            connection.parser.feed(std::string_view(buffer).substr(0, static_cast<size_t>(count)));
        for (const ServerNote& note : connection.parser.takeNotes()) {
            serverError(note.id, note.extra);
        }
        if (progress == RequestParser::Progress::TooLarge) {
            connection.socket->abort();
            return finish(connection);
        }
        if (progress == RequestParser::Progress::Complete) return dispatch(connection);
    }
}

void RequestServer::dispatch(Connection& connection) {
    connection.idle.stop();
    const HttpRequest& request = connection.parser.request();
    if (!peerAllowed(connection.address)) return reply(connection, kReplyInvalidId);
    if (request.contentLength < 1 || upperAscii(request.method) != "POST") {
        return reply(connection, kReplyNotImplemented);
    }
    XmlError error;
    const std::optional<XmlDocument> document = XmlDocument::parse(request.body, error);
    if (!document) {
        serverError(kReplyCannotLoad, parseErrorText(error));
        return reply(connection, kReplyCannotLoad);
    }
    if (const auto code = dispatchDocument(connection, *document)) reply(connection, *code);
}

std::optional<std::int32_t> RequestServer::dispatchDocument(Connection& connection,
                                                            const XmlDocument& document) {
    const std::string* idText = document.root().attribute("ID");
    if (idText == nullptr) {
        serverError(kReplyCannotWalk);
        return kReplyCannotWalk;
    }
    const std::int32_t id = leadingInteger(*idText);
    services_.variables.SetVariable("ID", *idText);
    for (const XmlElement& child : document.root().children) {
        services_.variables.SetVariable(baseName(child.name), child.allText());
    }
    switch (id) {
        case kRequestClipboard: return kReplyClipboard;
        case kRequestSetClipboard: return setClipboard(document);
        case kRequestImport:
            if (hooks_.importDocument) hooks_.importDocument(document);
            return kReplyImported;
        case kRequestMacros:
        case kRequestRecordings: connection.pushRequest = id; return kReplyAccepted;
        default: break;
    }
    const std::optional<std::string> macro = services_.messageIds.NameOf(id);
    if (!macro) return kReplyInvalidId;
    if (!hooks_.startMacro || !hooks_.startMacro(*macro)) {
        showBox(MessageBox{"Error posting message to main thread.", "Error", MsgIcon::Stop});
        return kReplyInvalidId;
    }
    connection.stage = Connection::Stage::AwaitingRun;
    connection.awaitedMacro = *macro;
    return std::nullopt;
}

std::int32_t RequestServer::setClipboard(const XmlDocument& document) {
    const XmlElement* content = childByBaseName(document.root(), "ClpContent");
    if (content == nullptr) {
        serverError(kErrorDocumentHeader);
        serverError(kReplyBadDocument);
        return kReplyBadDocument;
    }
    const std::string text = content->allText();
    if (!services_.clipboard.offer(kClipboardText, Bytes(text.begin(), text.end()))) {
        serverError(kErrorClipboard);
        return kReplyBadDocument;
    }
    return kReplyAccepted;
}

std::optional<std::string> RequestServer::clipboardText() {
    const std::optional<Bytes> data = services_.clipboard.data(kClipboardText);
    if (!data) return std::nullopt;
    return std::string(data->begin(), data->end());
}

void RequestServer::complete(const std::string& macro, RunOutcome outcome) {
    if (!current_ || current_->stage != Connection::Stage::AwaitingRun ||
        current_->awaitedMacro != macro) {
        return;
    }
    reply(*current_, outcome == RunOutcome::Ran ? kReplyAccepted : kReplyInvalidId);
}

void RequestServer::reply(Connection& connection, std::int32_t code) {
    if (connection.finished) return;
    std::string text;
    if (code == kReplyClipboard) {
        const std::optional<std::string> onClipboard = clipboardText();
        if (!onClipboard) serverError(kErrorClipboard);
        text = onClipboard.value_or("");
    }
    const Expected<std::string> body = replyDocument(code, text).serialize();
    if (!body) {
        serverError(kErrorGettingXml);
        connection.socket->abort();
        return finish(connection);
    }
    connection.stage = Connection::Stage::Replying;
    const std::string bytes = httpReply(*body, std::time(nullptr));
    connection.socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // A peer that does not take its reply is dropped as an idle one is.
    connection.idle.start(idleLimit_);
    connection.socket->disconnectFromHost();
}

void RequestServer::finish(Connection& connection) {
    if (connection.finished) return;
    connection.finished = true;
    connection.idle.stop();
    if (current_ == &connection) current_ = nullptr;
    connection.deleteLater();
    // The rest waits until the socket's signal has returned, since a box
    // it may show runs a nested event loop.
    QTimer::singleShot(0, this, [this, push = connection.pushRequest, peer = connection.peer] {
        afterConnection(push, peer);
    });
}

void RequestServer::afterConnection(std::int32_t pushRequest, const std::string& peer) {
    if (pushRequest != 0) {
        const std::string port = services_.expansion.LookupValue("SrvPort");
        if (port.empty()) {
            showBox(
                MessageBox{"Error getting response port.", "Keystrider - Error", MsgIcon::Stop});
        } else if (hooks_.push) {
            hooks_.push(pushRequest, peer, port);
        }
    }
    serveNext();
}

bool RequestServer::peerAllowed(const QHostAddress& peer) const {
    return allowedPeers_.empty() ||
           std::any_of(allowedPeers_.begin(), allowedPeers_.end(), [&peer](const QHostAddress& a) {
               return a.isEqual(peer, QHostAddress::ConvertV4MappedToIPv4);
           });
}

void RequestServer::serverError(int id, const std::string& extra) {
    std::string text = serverString(id);
    if (!extra.empty()) text += " " + extra;
    showBox(MessageBox{std::move(text), kServerErrorTitle, MsgIcon::Stop});
}

void RequestServer::showBox(MessageBox box) {
    if (boxOpen_ || waitingBox_) {
        std::cerr << messageLine(box) << '\n';
        return;
    }
    waitingBox_ = std::move(box);
    QTimer::singleShot(0, this, [this] { showWaitingBox(); });
}

void RequestServer::showWaitingBox() {
    if (!waitingBox_) return;
    const MessageBox box = *std::exchange(waitingBox_, std::nullopt);
    boxOpen_ = true;
    services_.messages.show(box);
    boxOpen_ = false;
}

}  // namespace ks
