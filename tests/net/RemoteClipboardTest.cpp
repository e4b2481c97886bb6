#include "net/RemoteClipboard.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "CommandFixture.h"
#include "EventRun.h"
#include "FakeClipboard.h"
#include "FakeClock.h"
#include "MapTriggerOwners.h"
#include "RecordingMessages.h"
#include "expand/VariableTable.h"
#include "net/RequestServer.h"
#include "platform/qt/QtPeerClient.h"

namespace ks::test {
namespace {

class RemoteClipboardTest : public CommandFixture {
protected:
    RemoteClipboardTest() {
        peer.startServer(0);
        peerClipboard.offered = {{kClipboardText, bytesOf("a\nb")}};
        variables.SetVariable("Buf", "before");
    }

    void run(const std::string& address, std::uint16_t port) {
        writeText("IPAddress", address);
        writeText("Port", std::to_string(port));
        writeText("BufName", "Buf");
        runCommand(command, kCopyRemoteClipBoard);
    }

    VariableTable variables{messages};
    EventRun runControl;
    QtPeerClient peerClient;
    std::optional<std::string> hostName = "testhost";
    std::vector<std::string> hostAddresses{"192.0.2.1", "2001:DB8::1"};
    RemoteClipboardCommand command{
        {messages, variables, runControl, peerClient,
         LocalHost{[this] { return hostName; },
                   [this](const std::string&) { return hostAddresses; }}}};

    // The other machine: a request server with a clipboard of its own.
    RecordingMessages peerMessages;
    VariableTable peerVariables{peerMessages};
    FakeClipboard peerClipboard;
    MapTriggerOwners peerIds;
    FakeClock peerClock;
    RequestServer peer{{peerMessages, peerVariables, peerClipboard, peerIds, peerClock}, {}};
};

// The buffer afterwards, then each box shown as "title: text".
TEST_F(RemoteClipboardTest, CopiesThePeersTextOrShowsWhyNot) {
    const std::string local = "before / Keystrider - Error: ";
    const std::string thisMachine =
        local + "You can not remotely copy the contents of the clipboard on the machine that " +
        "this instance of Keystrider is running on.";
    const std::vector<std::string> one{"192.0.2.1"};
    struct Case {
        std::string address;
        std::vector<std::string> addresses;
        std::string outcome;
        std::optional<std::string> hostName = "testhost";
    } cases[] = {
        {" 127.0.0.1 ", one, "a\r\nb"},
        {"::1", one, "a\r\nb"},
        {"  ", one, local + "IP Address/Host Name: can not be empty."},
        {"TestHost", one, thisMachine},
        {"2001:db8::1", {"192.0.2.1", "2001:DB8::1"}, thisMachine},
        {"127.0.0.1", one,
         local + "Can't resolve this machine's Host/Computer Name.  Check network connection.",
         std::nullopt},
        {"127.0.0.1",
         {},
         local + "Can't resolve this machine's IP Address(es).  Check network connection."},
        {"127.0.0.1:1", one, "before / Keystrider Error: Error opening Http Request object."},
    };
    for (const Case& c : cases) {
        variables.SetVariable("Buf", "before");
        messages.clear();
        hostName = c.hostName;
        hostAddresses = c.addresses;
        run(c.address, peer.port());
        std::string outcome = *variables.textValue("Buf");
        for (const MessageBox& box : messages.shown)
            outcome +=
                " / " + messageLine(box) + (box.icon == MsgIcon::Stop ? "" : " (no stop icon)");
        EXPECT_EQ(outcome, c.outcome) << c.address;
    }
}

// A peer that fails is asked three times, then given up with a word; a stop
// during the wait for a silent one ends it without a word.
TEST_F(RemoteClipboardTest, FailingPeersAreAskedThreeTimesAndAStopEndsTheWait) {
    for (const bool silent : {false, true}) {
        messages.clear();
        QTcpServer fake;
        ASSERT_TRUE(fake.listen(QHostAddress::LocalHost));
        int requests = 0;
        QObject::connect(&fake, &QTcpServer::newConnection, [&] {
            if (silent) return runControl.EndRun();
            while (QTcpSocket* socket = fake.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, [socket, &requests] {
                    requests += static_cast<int>(socket->readAll().count("POST "));
                    socket->write("HTTP/1.0 500 Failed\r\nContent-Length: 0\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
        run("127.0.0.1", fake.serverPort());
        EXPECT_EQ(requests, silent ? 0 : RemoteClipboardCommand::kSends);
        EXPECT_EQ(messages.texts(), silent ? std::vector<std::string>{}
                                           : std::vector<std::string>{"Error sending request."});
        EXPECT_EQ(variables.textValue("Buf"), "before");
    }
}

}  // namespace
}  // namespace ks::test
