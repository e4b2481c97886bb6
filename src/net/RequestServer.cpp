#include "net/RequestServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <utility>

#include "core/PlusDigits.h"
#include "expand/VariableTable.h"
#include "net/HttpRequest.h"
#include "net/Reply.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "xml/XmlDocument.h"

namespace ks {

namespace {

constexpr int kListenBacklog = 5;
// Connections accepted while the server reads as many as it will wait
// here; beyond it the listener leaves them to the system's backlog.
constexpr int kQueuedConnections = 5;
constexpr std::size_t kReadChunk = 30000;
constexpr const char* kServerErrorTitle = "Keystrider Error";

constexpr int kErrorReading = 106;
constexpr int kErrorNoMemory = 104;
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

bool listNamesPeer(std::string_view list, const std::string& peer) {
    const auto peers = parsePeerList(list);
    const QHostAddress address = plainAddress(QHostAddress(QString::fromStdString(peer)));
    return peers && !address.isNull() &&
           std::any_of(peers->begin(), peers->end(),
                       [&address](const QHostAddress& p) { return p == address; });
}

bool pushAccepted(bool fromEveryPeer, std::string_view acceptedPeers, const std::string& peer) {
    return fromEveryPeer || listNamesPeer(acceptedPeers, peer);
}

// The listening socket. A connection from a peer the server does not serve
// is closed as it is accepted, before a byte of it is read.
class RequestServer::Listener final : public QTcpServer {
public:
    explicit Listener(std::function<bool(const QHostAddress&)> allowed)
        : allowed_(std::move(allowed)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        auto socket = std::make_unique<QTcpSocket>();
        // Unread bytes stay in the system, so a peer that sends on cannot
        // grow the program's memory, even while it waits its turn.
        socket->setReadBufferSize(2 * kReadChunk);
        if (!socket->setSocketDescriptor(descriptor)) return;
        if (!allowed_(plainAddress(socket->peerAddress()))) {
            std::cerr << "Keystrider: refused a connection from "
                      << socket->peerAddress().toString().toStdString() << '\n';
            socket->abort();
            return;
        }
        addPendingConnection(socket.release());
    }

private:
    std::function<bool(const QHostAddress&)> allowed_;
};

// One accepted connection, from its first byte to its close.
class RequestServer::Connection final : public QObject {
public:
    enum class Stage { Reading, Waiting, ReadingClipboard, AwaitingRun, Replying };

    Connection(QTcpSocket* accepted, QObject* parent)
        : QObject(parent), socket(accepted), idle(this), deadline(this) {
        socket->setParent(this);
        address = plainAddress(socket->peerAddress());
        peer = address.toString().toStdString();
        idle.setSingleShot(true);
        deadline.setSingleShot(true);
    }

    bool connected() const { return socket->state() == QAbstractSocket::ConnectedState; }

    QTcpSocket* socket;
    QTimer idle;      // restarted by every byte
    QTimer deadline;  // from the first turn to the complete request
    RequestParser parser;
    Stage stage = Stage::Reading;
    QHostAddress address;
    std::string peer;
    std::string awaitedMacro;
    std::unique_ptr<ClipboardRead> clipboardRead;  // dropped with the connection, abandoned
    Push push;                                     // asked for, done once the connection has closed
    std::vector<std::string> notes;                // shown in one box once it has closed
    bool finished = false;
};

RequestServer::RequestServer(Services services, RequestServerHooks hooks)
    : services_(services), hooks_(std::move(hooks)), posted_(services.variables) {}

RequestServer::~RequestServer() = default;

bool RequestServer::startServer(std::uint16_t port, ServerReach reach) {
    stopServer();
    const bool everywhere = reach == ServerReach::AllAddresses;
    if (!listen(everywhere ? QHostAddress::Any : QHostAddress::LocalHost, port)) {
        std::cerr << "Keystrider: cannot listen on port " << port << '\n';
        services_.messages.show(std::to_string(port), kServerErrorTitle, MsgIcon::Stop);
        return false;
    }
    // Loopback has an IPv6 address too; a system without it does without.
    if (!everywhere) listen(QHostAddress::LocalHostIPv6, listeners_.front()->serverPort());
    return true;
}

bool RequestServer::listen(const QHostAddress& address, std::uint16_t port) {
    auto listener =
        std::make_unique<Listener>([this](const QHostAddress& peer) { return peerAllowed(peer); });
    listener->setListenBacklogSize(kListenBacklog);
    listener->setMaxPendingConnections(kQueuedConnections);
    if (!listener->listen(address, port)) return false;
    connect(listener.get(), &QTcpServer::newConnection, this, [this] { takeConnections(); });
    connect(listener.get(), &QTcpServer::acceptError, this,
            [this] { serverError(kErrorAccepting); });
    listeners_.push_back(std::move(listener));
    return true;
}

void RequestServer::stopServer() {
    listeners_.clear();
}

bool RequestServer::listening() const {
    return !listeners_.empty();
}

std::uint16_t RequestServer::port() const {
    return listening() ? listeners_.front()->serverPort() : 0;
}

QTcpSocket* RequestServer::nextPending() {
    for (const auto& listener : listeners_) {
        if (listener->hasPendingConnections()) return listener->nextPendingConnection();
    }
    return nullptr;
}

void RequestServer::takeConnections() {
    while (open_ < kOpenConnections) {
        QTcpSocket* socket = nextPending();
        if (socket == nullptr) return;
        // A peer that gave up while it waited is not served.
        if (socket->state() != QAbstractSocket::ConnectedState) {
            socket->deleteLater();
            continue;
        }
        auto* connection = new Connection(socket, this);
        ++open_;
        connect(socket, &QTcpSocket::readyRead, connection,
                [this, connection] { read(*connection); });
        connect(socket, &QTcpSocket::disconnected, connection,
                [this, connection] { finish(*connection); });
        for (QTimer* limit : {&connection->idle, &connection->deadline}) {
            connect(limit, &QTimer::timeout, connection, [this, connection] {
                connection->socket->abort();
                finish(*connection);
            });
        }
        connection->idle.start(idleLimit_);
        connection->deadline.start(deadline_);
        if (socket->bytesAvailable() > 0) read(*connection);
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
            serverError(connection, kErrorReading);
            connection.socket->abort();
            return finish(connection);
        }
        const auto progress =
            connection.parser.feed(std::string_view(buffer).substr(0, static_cast<size_t>(count)));
        for (const ServerNote& note : connection.parser.takeNotes()) {
            serverError(connection, note.id, note.extra);
        }
        if (progress == RequestParser::Progress::TooLarge) {
            connection.socket->abort();
            return finish(connection);
        }
        if (progress == RequestParser::Progress::Complete) {
            connection.idle.stop();
            connection.deadline.stop();
            connection.stage = Connection::Stage::Waiting;
            ready_.emplace_back(&connection);
            // Handled once the socket's signal has returned: what the request
            // does may run a nested event loop, in which the socket may go.
            QTimer::singleShot(0, this, [this] { dispatchNext(); });
            return;
        }
    }
}

// One request is handled at a time, also when one ends within a nested
// event loop of the one before.
void RequestServer::dispatchNext() {
    while (!dispatching_ && !current_ && !ready_.empty()) {
        const QPointer<Connection> next = ready_.front();
        ready_.pop_front();
        if (!next || next->finished) continue;
        if (!next->connected()) {
            finish(*next);
            continue;
        }
        current_ = next;
        dispatching_ = true;
        dispatch(*next);
        dispatching_ = false;
    }
}

void RequestServer::dispatch(Connection& connection) {
    const HttpRequest& request = connection.parser.request();
    if (request.contentLength < 1 || upperAscii(request.method) != "POST") {
        return reply(connection, kReplyNotImplemented);
    }
    XmlError error;
    const std::optional<XmlDocument> document = XmlDocument::parse(request.body, error);
    if (!document) {
        serverError(connection, kReplyCannotLoad, parseErrorText(error));
        return reply(connection, kReplyCannotLoad);
    }
    const QPointer<Connection> guard(&connection);
    const std::optional<std::int32_t> code = dispatchDocument(connection, *document);
    // The peer may have gone while its request was handled.
    if (guard && code) reply(*guard, *code);
}

std::optional<std::int32_t> RequestServer::dispatchDocument(Connection& connection,
                                                            const XmlDocument& document) {
    const std::string* idText = document.root().attribute("ID");
    if (idText == nullptr) {
        serverError(connection, kReplyCannotWalk);
        return kReplyCannotWalk;
    }
    const std::int32_t id = leadingInteger(*idText);
    services_.variables.SetVariable("ID", *idText);
    PostedVariables::Values values;
    for (const XmlElement& child : document.root().children) {
        values.emplace_back(baseName(child.name), child.allText());
    }
    if (!posted_.set(connection.peer, values)) {
        serverError(connection, kErrorNoMemory);
        return kReplyNoMemory;
    }
    switch (id) {
        case kRequestClipboard: return readClipboard(connection), std::nullopt;
        case kRequestSetClipboard: return setClipboard(connection, document);
        case kRequestImport: return importPosted(&connection, document);
        case kRequestMacros:
        case kRequestRecordings: {
            const XmlElement* port = childByBaseName(document.root(), "SrvPort");
            const auto number = port ? parsePortNumber(port->allText()) : std::nullopt;
            if (!number) {
                noteForPeer(connection, MessageBox{"Error getting response port.",
                                                   "Keystrider - Error", MsgIcon::Stop});
                return kReplyBadDocument;
            }
            // Only ever to the peer that asked, whatever the document says.
            connection.push = Push{id, connection.peer, std::to_string(*number)};
            return kReplyAccepted;
        }
        default: break;
    }
    const std::optional<std::string> macro = services_.messageIds.messageIdOwner(id);
    if (!macro) return kReplyInvalidId;
    if (!hooks_.startMacro || !hooks_.startMacro(*macro)) {
        showBox(MessageBox{"Error posting message to main thread.", "Error", MsgIcon::Stop});
        return kReplyInvalidId;
    }
    connection.stage = Connection::Stage::AwaitingRun;
    connection.awaitedMacro = *macro;
    return std::nullopt;
}

std::int32_t RequestServer::setClipboard(Connection& connection, const XmlDocument& document) {
    const XmlElement* content = childByBaseName(document.root(), "ClpContent");
    if (content == nullptr) {
        serverError(connection, kErrorDocumentHeader);
        serverError(connection, kReplyBadDocument);
        return kReplyBadDocument;
    }
    const std::string text = content->allText();
    if (!services_.clipboard.offer(kClipboardText, Bytes(text.begin(), text.end()))) {
        serverError(connection, kErrorClipboard);
        return kReplyBadDocument;
    }
    return kReplyAccepted;
}

// The import may show what it must in boxes of its own, so the connection
// is looked at again only through the guard.
std::int32_t RequestServer::importPosted(QPointer<Connection> connection,
                                         const XmlDocument& document) {
    if (!hooks_.importDocument) return kReplyImported;
    const std::string peer = connection->peer;
    const auto reported = hooks_.importDocument(document, peer);
    if (!reported) return kReplyInvalidId;
    if (connection) {
        connection->notes.insert(connection->notes.end(), reported->begin(), reported->end());
    } else {
        reportForPeer(*reported);
    }
    return kReplyImported;
}

// The clipboard's owner answers while the event loop runs, if ever: the
// reply waits for it without holding up the rest of the program.
void RequestServer::readClipboard(Connection& connection) {
    connection.stage = Connection::Stage::ReadingClipboard;
    const QPointer<Connection> guard(&connection);
    const auto chooseText = [](const std::vector<std::uint32_t>& offered) {
        const bool hasText =
            std::find(offered.begin(), offered.end(), kClipboardText) != offered.end();
        return hasText ? std::optional(kClipboardText) : std::nullopt;
    };
    connection.clipboardRead = services_.clipboard.read(chooseText, [this, guard] {
        if (guard) replyWithClipboard(*guard);
    });
    if (connection.clipboardRead->state() != ClipboardRead::State::Waiting) {
        replyWithClipboard(connection);
    }
}

// Text that is not on offer is as much an error as a read that failed.
void RequestServer::replyWithClipboard(Connection& connection) {
    const ClipboardRead& read = *connection.clipboardRead;
    const std::optional<ClipboardContent>& content = read.content();
    if (read.state() == ClipboardRead::State::Read && content) {
        return reply(connection, kReplyClipboard,
                     std::string(content->bytes.begin(), content->bytes.end()));
    }
    serverError(connection, kErrorClipboard);
    reply(connection, kReplyClipboard);
}

void RequestServer::complete(const std::string& macro, RunOutcome outcome) {
    if (!current_ || current_->stage != Connection::Stage::AwaitingRun ||
        current_->awaitedMacro != macro) {
        return;
    }
    reply(*current_, outcome == RunOutcome::Ran ? kReplyAccepted : kReplyInvalidId);
}

void RequestServer::reply(Connection& connection, std::int32_t code, const std::string& text) {
    if (connection.finished) return;
    // A reply to a peer that has gone is dropped.
    if (!connection.connected()) return finish(connection);
    const Expected<std::string> body = replyDocument(code, text).serialize();
    if (!body) {
        serverError(connection, kErrorGettingXml);
        connection.socket->abort();
        return finish(connection);
    }
    connection.stage = Connection::Stage::Replying;
    const std::string bytes = httpReply(*body, services_.clock.wallMillis() / 1000);
    connection.socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // A peer that does not take its reply is dropped as an idle one is.
    connection.idle.start(idleLimit_);
    connection.socket->disconnectFromHost();
}

void RequestServer::finish(Connection& connection) {
    if (connection.finished) return;
    connection.finished = true;
    connection.idle.stop();
    connection.deadline.stop();
    --open_;
    if (current_ == &connection) current_ = nullptr;
    connection.deleteLater();
    // The rest waits until the socket's signal has returned, since a box
    // it may show runs a nested event loop.
    QTimer::singleShot(0, this, [this, push = connection.push, notes = connection.notes] {
        afterConnection(push, notes);
    });
}

void RequestServer::afterConnection(const Push& push, const std::vector<std::string>& notes) {
    reportForPeer(notes);
    if (push.request != 0 && hooks_.push) hooks_.push(push.request, push.host, push.port);
    takeConnections();
    dispatchNext();
}

bool RequestServer::peerAllowed(const QHostAddress& peer) const {
    return allowedPeers_.empty() ||
           std::any_of(allowedPeers_.begin(), allowedPeers_.end(), [&peer](const QHostAddress& a) {
               return a.isEqual(peer, QHostAddress::ConvertV4MappedToIPv4);
           });
}

void RequestServer::serverError(Connection& connection, int id, const std::string& extra) {
    std::string text = serverString(id);
    if (!extra.empty()) text += " " + extra;
    noteForPeer(connection, MessageBox{std::move(text), kServerErrorTitle, MsgIcon::Stop});
}

void RequestServer::noteForPeer(Connection& connection, const MessageBox& box) {
    std::cerr << messageLine(box) << '\n';
    connection.notes.push_back(box.text);
}

void RequestServer::serverError(int id) {
    showBox(MessageBox{serverString(id), kServerErrorTitle, MsgIcon::Stop});
}

// Each text is on standard error already.
void RequestServer::reportForPeer(const std::vector<std::string>& texts) {
    if (!texts.empty()) queueBox(MessageBox{joinedLines(texts), kServerErrorTitle, MsgIcon::Stop});
}

void RequestServer::showBox(MessageBox box) {
    std::string line = messageLine(box);
    if (!queueBox(std::move(box))) std::cerr << line << '\n';
}

bool RequestServer::queueBox(MessageBox box) {
    if (boxOpen_ || waitingBox_) return false;
    waitingBox_ = std::move(box);
    QTimer::singleShot(0, this, [this] { showWaitingBox(); });
    return true;
}

void RequestServer::showWaitingBox() {
    if (!waitingBox_) return;
    const MessageBox box = *std::exchange(waitingBox_, std::nullopt);
    boxOpen_ = true;
    services_.messages.show(box);
    boxOpen_ = false;
}

}  // namespace ks
