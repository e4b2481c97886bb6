#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Messages.h"
#include "net/PostedVariables.h"
#include "runner/PendingRequest.h"

class QTcpServer;
class QTcpSocket;

namespace ks {

class Clipboard;
class Clock;
class MessageIdOwner;
class VariableTable;
class XmlDocument;

// What the server asks of the rest of the program. Each may be left empty.
struct RequestServerHooks {
    // Posts a start request for `macro`; false when it could not be posted.
    std::function<bool(const std::string& macro)> startMacro;
    // Imports a posted document's macros, then its recordings, unless `peer`
    // may not push macros: then nothing, else the texts of what the import
    // had to report (to be shown once the peer has its reply).
    std::function<std::optional<std::vector<std::string>>(const XmlDocument& document,
                                                          const std::string& peer)>
        importDocument;
    // Asks for every macro (kRequestMacros) or every recording
    // (kRequestRecordings) to be pushed to the peer's server at host:port.
    std::function<void(std::int32_t request, const std::string& host, const std::string& port)>
        push;
};

// The peers a list names: addresses separated by blanks, commas or
// semicolons. Nothing when an entry is not an address.
std::optional<std::vector<QHostAddress>> parsePeerList(std::string_view list);

// Whether `list` (as parsePeerList reads it) names `peer`.
bool listNamesPeer(std::string_view list, const std::string& peer);

// Whether macros pushed by `peer` are imported: from every peer the server
// serves when `fromEveryPeer`, else from those the list `acceptedPeers` names.
bool pushAccepted(bool fromEveryPeer, std::string_view acceptedPeers, const std::string& peer);

// Where the server listens: on loopback, for this machine's own programs,
// or on every address.
enum class ServerReach { Loopback, AllAddresses };

// A small HTTP/1.0 server on the GUI thread. A peer posts an XML document
// whose root's ID says what it wants; the reply is an XML document whose
// root's ID is the reply code. Up to kOpenConnections requests are read at
// once, so a slow sender holds no one up, and handled one at a time, in the
// order they were complete. A connection that sends nothing for the idle
// limit, whose request is not complete by the deadline, or that sends more
// than kMaxRequestBytes, is closed. What a request causes to be reported
// goes to standard error and into one box, shown after the reply.
class RequestServer final : public QObject, public PendingRequest {
public:
    struct Services {
        Messages& messages;
        VariableTable& variables;
        Clipboard& clipboard;
        const MessageIdOwner& messageIds;
        Clock& clock;  // dates the replies
    };

    static constexpr std::chrono::milliseconds kIdleLimit{5000};
    static constexpr std::chrono::milliseconds kRequestDeadline{10000};
    static constexpr int kOpenConnections = 8;

    RequestServer(Services services, RequestServerHooks hooks);
    ~RequestServer() override;

    // Listens on `port` (0: any free port), closing the listener there was.
    // Shows the failure and returns false when the port cannot be had.
    bool startServer(std::uint16_t port, ServerReach reach = ServerReach::Loopback);
    // Closes the listener; the connection being served is left to finish.
    void stopServer();
    bool listening() const;
    std::uint16_t port() const;

    // Connections from other peers are closed as they are accepted, before
    // a byte is read; an empty list lets every peer that reaches the server in.
    void setAllowedPeers(std::vector<QHostAddress> peers) { allowedPeers_ = std::move(peers); }
    void setIdleLimit(std::chrono::milliseconds limit) { idleLimit_ = limit; }
    void setRequestDeadline(std::chrono::milliseconds limit) { deadline_ = limit; }

    // Shows what a peer caused: written to standard error and shown in one
    // box, unless a box of the server is open already.
    void reportForPeer(const std::vector<std::string>& texts);

    // A macro's run ended or its start was refused: the request waiting
    // for that macro, if any, is answered.
    void complete(const std::string& macro, RunOutcome outcome) override;

private:
    class Connection;
    class Listener;
    struct Push {
        std::int32_t request = 0;
        std::string host;
        std::string port;
    };

    bool listen(const QHostAddress& address, std::uint16_t port);
    QTcpSocket* nextPending();
    void takeConnections();
    void read(Connection& connection);
    void dispatchNext();
    void dispatch(Connection& connection);
    std::optional<std::int32_t> dispatchDocument(Connection& connection,
                                                 const XmlDocument& document);
    std::int32_t setClipboard(Connection& connection, const XmlDocument& document);
    std::int32_t importPosted(QPointer<Connection> connection, const XmlDocument& document);
    void readClipboard(Connection& connection);
    void replyWithClipboard(Connection& connection);
    void reply(Connection& connection, std::int32_t code, const std::string& text = {});
    void finish(Connection& connection);
    void afterConnection(const Push& push, const std::vector<std::string>& notes);
    bool peerAllowed(const QHostAddress& peer) const;
    // Notes a server error of the request: its line goes to standard error
    // now, its text into the request's one box.
    void serverError(Connection& connection, int id, const std::string& extra = {});
    void serverError(int id);
    void noteForPeer(Connection& connection, const MessageBox& box);
    // Shows `box` once no other box of the server is open; meanwhile, and for
    // any box while one is open, only its line goes to standard error.
    void showBox(MessageBox box);
    // False when another box is open or waiting.
    bool queueBox(MessageBox box);
    void showWaitingBox();

    Services services_;
    RequestServerHooks hooks_;
    PostedVariables posted_;
    std::vector<std::unique_ptr<Listener>> listeners_;  // the first one's port is the server's
    QPointer<Connection> current_;                      // the request being handled
    std::deque<QPointer<Connection>> ready_;            // complete requests waiting their turn
    int open_ = 0;  // connections taken from the listener, not finished
    std::vector<QHostAddress> allowedPeers_;
    std::chrono::milliseconds idleLimit_ = kIdleLimit;
    std::chrono::milliseconds deadline_ = kRequestDeadline;
    std::optional<MessageBox> waitingBox_;
    bool boxOpen_ = false;
    bool dispatching_ = false;
};

}  // namespace ks
