#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Messages.h"
#include "runner/PendingRequest.h"

class QTcpServer;
class QTcpSocket;

namespace ks {

class Clipboard;
class ExpansionEngine;
class MessageIdTable;
class VariableTable;
class XmlDocument;

// What the server asks of the rest of the program. Each may be left empty.
struct RequestServerHooks {
    // Posts a start request for `macro`; false when it could not be posted.
    std::function<bool(const std::string& macro)> startMacro;
    // Imports a posted document's macros, then its recordings.
    std::function<void(const XmlDocument& document)> importDocument;
    // Asks for every macro (kRequestMacros) or every recording
    // (kRequestRecordings) to be pushed to the peer's server at host:port.
    std::function<void(std::int32_t request, const std::string& host, const std::string& port)>
        push;
};

// The peers a list names: addresses separated by blanks, commas or
// semicolons. Nothing when an entry is not an address.
std::optional<std::vector<QHostAddress>> parsePeerList(std::string_view list);

// A small HTTP/1.0 server on the GUI thread. A peer posts an XML document
// whose root's ID says what it wants; the reply is an XML document whose
// root's ID is the reply code. One connection is served at a time; the
// others wait in the listener's queue. A connection that sends nothing for
// the idle limit, or more than kMaxRequestBytes, is closed.
class RequestServer final : public QObject, public PendingRequest {
public:
    struct Services {
        Messages& messages;
        VariableTable& variables;
        ExpansionEngine& expansion;
        Clipboard& clipboard;
        MessageIdTable& messageIds;
    };

    static constexpr std::chrono::milliseconds kIdleLimit{5000};

    RequestServer(Services services, RequestServerHooks hooks);
    ~RequestServer() override;

    // Listens on `port` (0: any free port), closing the listener there was.
    // Shows the failure and returns false when the port cannot be had.
    bool StartServer(std::uint16_t port);
    // Closes the listener; the connection being served is left to finish.
    void StopServer();
    bool listening() const;
    std::uint16_t port() const;

    // Requests from other peers are answered 103 and do nothing; an empty
    // list lets every peer in.
    void setAllowedPeers(std::vector<QHostAddress> peers) { allowedPeers_ = std::move(peers); }
    void setIdleLimit(std::chrono::milliseconds limit) { idleLimit_ = limit; }

    // A macro's run ended or its start was refused: the request waiting
    // for that macro, if any, is answered.
    void complete(const std::string& macro, RunOutcome outcome) override;

private:
    class Connection;

    void serveNext();
    void read(Connection& connection);
    void dispatch(Connection& connection);
    std::optional<std::int32_t> dispatchDocument(Connection& connection,
                                                 const XmlDocument& document);
    std::int32_t setClipboard(const XmlDocument& document);
    std::optional<std::string> clipboardText();
    void reply(Connection& connection, std::int32_t code);
    void finish(Connection& connection);
    void afterConnection(std::int32_t pushRequest, const std::string& peer);
    bool peerAllowed(const QHostAddress& peer) const;
    void serverError(int id, const std::string& extra = {});
    // Shows `box` once no other box of the server is open; meanwhile, and for
    // any box while one is open, only its line goes to standard error.
    void showBox(MessageBox box);
    void showWaitingBox();

    Services services_;
    RequestServerHooks hooks_;
    std::unique_ptr<QTcpServer> listener_;
    QPointer<Connection> current_;
    std::vector<QHostAddress> allowedPeers_;
    std::chrono::milliseconds idleLimit_ = kIdleLimit;
    std::optional<MessageBox> waitingBox_;
    bool boxOpen_ = false;
};

}  // namespace ks
