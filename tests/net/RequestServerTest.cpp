#include "net/RequestServer.h"

#include <gtest/gtest.h>

#include <QTcpSocket>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "FakeClipboard.h"
#include "FakeSystemValues.h"
#include "QtTestLoop.h"
#include "RecordingMessages.h"
#include "core/PlusDigits.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "net/HttpRequest.h"
#include "net/MessageIdTable.h"
#include "net/Reply.h"
#include "xml/XmlDocument.h"

namespace ks::test {
namespace {

using namespace std::chrono_literals;

// What came back to a peer: the reply's header lines, its code and the
// text of its one child element.
struct Answer {
    std::vector<std::string> head;
    std::int32_t code = 0;
    std::string child;
    std::string text;
};

std::string post(std::string_view body, std::string_view head = "POST / HTTP/1.0\r\n") {
    return std::string(head) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           std::string(body);
}

std::string message(std::int32_t id, std::string_view children = "") {
    return "<MsgID ID=\"" + std::to_string(id) + "\">" + std::string(children) + "</MsgID>";
}

class RequestServerTest : public ::testing::Test {
protected:
    RequestServerTest()
        : server(
              {messages, variables, expansion, clipboard, messageIds},
              RequestServerHooks{
                  [this](const std::string& macro) {
                      started.push_back(macro);
                      return true;
                  },
                  [this](const XmlDocument& document) { imported.push_back(document.root()); },
                  [this](std::int32_t request, const std::string& host, const std::string& port) {
                      pushed.push_back(std::to_string(request) + " " + host + ":" + port);
                  }}) {
        server.setIdleLimit(300ms);
        EXPECT_TRUE(server.StartServer(0));
        clipboard.offered = {{kClipboardText, Bytes{'a', '\n', 'b'}}};
        messageIds.Set(10000, "Backup");
    }

    // A connection to the server that sends `pieces` a little apart.
    std::unique_ptr<QTcpSocket> connectAndSend(const std::vector<std::string>& pieces) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(runEventsUntil(
            [&] { return socket->state() == QAbstractSocket::ConnectedState; }, 2000));
        for (const std::string& piece : pieces) {
            socket->write(piece.data(), static_cast<qint64>(piece.size()));
            runEventsUntil([&] { return socket->bytesToWrite() == 0; }, 2000);
            runEventsUntil([] { return false; }, 10);
        }
        return socket;
    }

    // Everything the server sends on `socket` until it closes it.
    static std::string receive(QTcpSocket& socket, int limitMs = 3000) {
        std::string received;
        runEventsUntil(
            [&] {
                received += socket.readAll().toStdString();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            limitMs);
        return received + socket.readAll().toStdString();
    }

    static Answer answerOf(const std::string& reply) {
        Answer answer;
        const std::size_t end = reply.find("\r\n\r\n");
        if (end == std::string::npos) return answer;
        for (std::size_t at = 0; at < end;) {
            const std::size_t next = reply.find("\r\n", at);
            answer.head.push_back(reply.substr(at, next - at));
            at = next + 2;
        }
        XmlError error;
        const auto document = XmlDocument::parse(reply.substr(end + 4), error);
        if (!document || document->root().children.size() != 1) return answer;
        answer.code = leadingInteger(*document->root().attribute("ID"));
        answer.child = document->root().children[0].name;
        answer.text = document->root().children[0].text;
        return answer;
    }

    Answer exchange(const std::vector<std::string>& pieces) {
        const auto socket = connectAndSend(pieces);
        return answerOf(receive(*socket));
    }

    std::vector<std::string> boxTexts() {
        runEventsUntil([] { return false; }, 20);  // boxes are shown from the event loop
        return messages.texts();
    }

    RecordingMessages messages;
    VariableTable variables{messages};
    FakeSystemValues system;
    ExpansionEngine expansion{messages, system, variables};
    FakeClipboard clipboard;
    MessageIdTable messageIds;
    std::vector<std::string> started;
    std::vector<XmlElement> imported;
    std::vector<std::string> pushed;
    RequestServer server;
};

TEST_F(RequestServerTest, AnswersEveryKindOfRequest) {
    const std::string clip = message(1000);
    struct Case {
        std::vector<std::string> pieces;
        std::int32_t code;
        std::string text;
        std::vector<std::string> boxes;
    } cases[] = {
        {{post(clip, "post / HTTP/1.0\r\n")}, 1001, "a\nb", {}},
        {{"POST / HTTP/1.0\ncontent-length: 25\n\n" + clip}, 1001, "a\nb", {}},
        {{"POST / HTTP/1.0\r\nContent-Length: 25\r\n\r\n<MsgID ", "ID=\"1000\">", "</MsgID>"},
         1001,
         "a\nb",
         {}},
        {{"POST / HTTP/1.0\r\n\r\n" + clip},
         102,
         "Request type not implemented.",
         {"Missing content length header."}},
        {{"GET / HTTP/1.0\r\nContent-Length: 25\r\n\r\n" + clip},
         102,
         "Request type not implemented.",
         {}},
        {{post(message(10001))}, 103, "Request's MsgID is invalid.", {}},
        {{post(message(1001))}, 103, "Request's MsgID is invalid.", {}},
        {{post("<a ID='1'")}, 120, "Error loading posted XML document: ", {"Error loading posted"}},
        {{post(
             "<!DOCTYPE a [<!ENTITY x \"xx\"><!ENTITY y \"&x;&x;&x;&x;\">]><a ID='1000'>&y;</a>")},
         120,
         "Error loading posted XML document: ",
         {"Error loading posted"}},
        {{post("<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a ID='1000'>&e;</a>")},
         120,
         "Error loading posted XML document: ",
         {"Error loading posted"}},
        {{post("<MsgID/>")},
         121,
         "Server error walking through elements in XML document.",
         {"Server error walking"}},
        {{post(message(1003, "<MACRO/>"))}, 1004, "", {}},
        {{post(message(1002, "<clpcontent>pushed</clpcontent>"))}, 1005, "", {}},
        {{post(message(1002))},
         109,
         "Bad document format or system error.",
         {"Error loading header information"}},  // the second box goes to standard error
    };
    for (const Case& c : cases) {
        messages.clear();
        const Answer answer = exchange(c.pieces);
        const std::string label = c.pieces.front().substr(0, 70);
        EXPECT_EQ(answer.code, c.code) << label;
        EXPECT_EQ(answer.child, c.code == 1001 ? "ClipBoard" : "Desc") << label;
        EXPECT_EQ(answer.text, c.text) << label;
        const std::vector<std::string> shown = boxTexts();
        ASSERT_EQ(shown.size(), c.boxes.size()) << label;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].rfind(c.boxes[i], 0), 0u) << label << ": " << shown[i];
        }
        ASSERT_TRUE(messages.allShownAs("Keystrider Error", MsgIcon::Stop)) << label;
    }
    ASSERT_EQ(imported.size(), 1u);
    EXPECT_EQ(imported[0].children.at(0).name, "MACRO");
    EXPECT_EQ(clipboard.data(kClipboardText), (Bytes{'p', 'u', 's', 'h', 'e', 'd'}));
}

TEST_F(RequestServerTest, ReplyIsTheStatusLineAndFourHeaders) {
    const Answer answer = exchange({post(message(1000))});
    ASSERT_EQ(answer.head.size(), 5u);
    EXPECT_EQ(answer.head[0], "HTTP/1.0 200 OK");
    EXPECT_EQ(answer.head[1], "Server: Keystrider");
    EXPECT_EQ(answer.head[2].rfind("Date: ", 0), 0u);
    EXPECT_EQ(answer.head[2].substr(answer.head[2].size() - 4), " GMT");
    EXPECT_EQ(answer.head[3], "Content-Type: text/xml");
    EXPECT_EQ(answer.head[4].rfind("Content-Length: ", 0), 0u);
    clipboard.offered.clear();
    EXPECT_EQ(exchange({post(message(1000))}).text, "");
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Error copy clip board"});
}

TEST_F(RequestServerTest, MacroRequestSetsPostedVariablesAndIsAnsweredWhenItsRunEnds) {
    using O = RunOutcome;
    const struct {
        O outcome;
        std::int32_t code;
    } cases[] = {{O::Ran, kReplyAccepted}, {O::Refused, kReplyInvalidId}};
    for (const auto& c : cases) {
        started.clear();
        const auto socket =
            connectAndSend({post(message(10000, "<Who>peer</Who><a:Day>7</a:Day>"))});
        ASSERT_TRUE(runEventsUntil([&] { return !started.empty(); }, 2000));
        EXPECT_EQ(started, std::vector<std::string>{"Backup"});
        EXPECT_EQ(variables.TextValue("ID"), "10000");
        EXPECT_EQ(variables.TextValue("Who"), "peer");
        EXPECT_EQ(variables.TextValue("Day"), "7");
        server.complete("Other", O::Ran);           // another macro's run is not this request's
        runEventsUntil([] { return false; }, 400);  // beyond the idle limit: a run may be long
        EXPECT_EQ(socket->state(), QAbstractSocket::ConnectedState);
        server.complete("Backup", c.outcome);
        EXPECT_EQ(answerOf(receive(*socket)).code, c.code);
    }
}

TEST_F(RequestServerTest, AskingForMacrosOrRecordingsPushesThemToThePeerAfterTheReply) {
    EXPECT_EQ(exchange({post(message(1006, "<SrvPort>8090</SrvPort>"))}).code, kReplyAccepted);
    EXPECT_EQ(exchange({post(message(1007, "<SrvPort>8091</SrvPort>"))}).code, kReplyAccepted);
    runEventsUntil([&] { return pushed.size() == 2; }, 1000);
    EXPECT_EQ(pushed, (std::vector<std::string>{"1006 127.0.0.1:8090", "1007 127.0.0.1:8091"}));
}

TEST_F(RequestServerTest, PeersOutsideTheAllowedListGetInvalidIdAndNothingRuns) {
    server.setAllowedPeers(*parsePeerList("192.0.2.7, 2001:db8::1"));
    EXPECT_EQ(exchange({post(message(10000))}).code, kReplyInvalidId);
    EXPECT_TRUE(started.empty());
    server.setAllowedPeers(*parsePeerList("192.0.2.7;127.0.0.1"));
    EXPECT_EQ(exchange({post(message(1000))}).code, kReplyClipboard);
    EXPECT_FALSE(parsePeerList("127.0.0.1 localhost"));
}

TEST_F(RequestServerTest, HostilePeersAreClosedAndTheServerGoesOnServing) {
    std::mt19937 random(17);
    std::string noise(100000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    // Too much is refused at once; the rest waits for the idle limit.
    server.setIdleLimit(1500ms);
    const struct {
        const char* what;
        std::vector<std::string> pieces;
        bool closedAtOnce;
    } peers[] = {
        {"idle", {}, false},
        {"huge length", {"POST / HTTP/1.0\r\nContent-Length: 2000000000\r\n\r\n<a"}, true},
        {"random bytes", {noise}, true},  // an empty line soon ends a request without a length
        {"2 MB line", {"POST /" + std::string(2 << 20, 'x')}, true},
        {"over 16 MB",
         {"POST / HTTP/1.0\r\nContent-Length: 16777216\r\n\r\n", std::string(kMaxRequestBytes, 'x'),
          "x"},
         true},
    };
    for (const auto& peer : peers) {
        const auto hostile = connectAndSend(peer.pieces);
        // A peer that comes meanwhile waits for its turn and is served.
        const auto waiting = connectAndSend({post(message(1000))});
        QElapsedTimer closing;
        closing.start();
        EXPECT_NE(answerOf(receive(*hostile)).code, kReplyClipboard) << peer.what;
        EXPECT_EQ(hostile->state(), QAbstractSocket::UnconnectedState) << peer.what;
        EXPECT_EQ(closing.elapsed() < 1000, peer.closedAtOnce) << peer.what;
        EXPECT_EQ(answerOf(receive(*waiting)).code, kReplyClipboard) << peer.what;
        EXPECT_TRUE(server.listening()) << peer.what;
    }
}

TEST_F(RequestServerTest, OnlyOneErrorBoxIsOpenAtATime) {
    int opened = 0;
    messages.whileShown = [&](const MessageBox&) {
        if (++opened == 1) exchange({"POST / HTTP/1.0\r\n\r\n"});  // another error meanwhile
    };
    testing::internal::CaptureStderr();
    exchange({"POST / HTTP/1.0\r\n\r\n"});
    runEventsUntil([&] { return opened > 0; }, 1000);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(opened, 1);
    EXPECT_NE(stderrText.find("Keystrider Error: Missing content length header."),
              std::string::npos);
}

TEST_F(RequestServerTest, PortInUseIsShownAndRefused) {
    RequestServer other({messages, variables, expansion, clipboard, messageIds}, {});
    EXPECT_FALSE(other.StartServer(server.port()));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{std::to_string(server.port())});
    EXPECT_TRUE(server.listening());
}

}  // namespace
}  // namespace ks::test
