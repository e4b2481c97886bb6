#include "net/RequestServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "FakeClipboard.h"
#include "FakeClock.h"
#include "LoopbackHttp.h"
#include "MapTriggerOwners.h"
#include "QtTestLoop.h"
#include "RecordingMessages.h"
#include "expand/VariableTable.h"
#include "xml/XmlDocument.h"

namespace ks::test {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

std::string post(std::string_view body) {
    return "POST / HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           std::string(body);
}

std::string message(std::int32_t id, std::string_view children = "") {
    return "<MsgID ID=\"" + std::to_string(id) + "\">" + std::string(children) + "</MsgID>";
}

class RequestServerTest : public ::testing::Test {
protected:
    RequestServerTest()
        : server(
              {messages, variables, clipboard, messageIds, clock},
              RequestServerHooks{
                  [this](const std::string& macro) { return log("start " + macro), true; },
                  [this](const XmlDocument& d, const std::string&) {
                      log("import " + d.root().children[0].name);
                      return whileImporting ? whileImporting() : importReport;
                  },
                  [this](std::int32_t request, const std::string& host, const std::string& port) {
                      log("push " + std::to_string(request) + " " + host + ":" + port);
                  }}) {
        server.setIdleLimit(300ms);
        EXPECT_TRUE(server.startServer(0));
        clipboard.offered = {{kClipboardText, bytesOf("a\nb")}};
        messageIds.held["#10000"] = "Backup";
    }

    // A peer on another thread, as on another machine: what came back to
    // `pieces` once the server closed the connection.
    std::future<std::string> peerSends(std::vector<std::string> pieces,
                                       std::chrono::milliseconds gap = 10ms) {
        return std::async(std::launch::async, [port = server.port(), pieces, gap] {
            return exchange(port, pieces, gap);
        });
    }
    std::future<void> hangsUpAfter(std::string request) {
        return std::async(std::launch::async, [port = server.port(), request] {
            const int s = connectLoopback(port);
            sendAll(s, request);
            close(s);
        });
    }
    // Serves until the peer has its answer.
    static std::string answered(std::future<std::string>& reply) {
        runEventsUntil([&] { return reply.wait_for(0s) == std::future_status::ready; }, 5000);
        return reply.get();
    }

    // A reply in one line: its code, its one element's name and text.
    static std::string answerOf(const std::string& reply) {
        const std::size_t end = reply.find("\r\n\r\n");
        XmlError error;
        const auto document =
            XmlDocument::parse(end == std::string::npos ? "" : reply.substr(end + 4), error);
        if (!document || document->root().children.size() != 1) return "no answer";
        const XmlElement& child = document->root().children[0];
        return *document->root().attribute("ID") + " " + child.name + ": " + child.text;
    }

    std::string ask(std::vector<std::string> pieces) {
        auto reply = peerSends(std::move(pieces));
        return answerOf(answered(reply));
    }

    std::vector<std::string> boxTexts() {
        runEventsUntil([] { return false; }, 20);  // boxes are shown from the event loop
        return messages.texts();
    }

    RecordingMessages messages;
    VariableTable variables{messages};
    FakeClipboard clipboard;
    MapTriggerOwners messageIds;
    FakeClock clock{784111777000};  // replies are dated by it
    void log(const std::string& what) { hooksAsked.push_back(what); }
    std::vector<std::string> hooksAsked;
    // What the import reports; nothing when the peer may not push.
    std::optional<std::vector<std::string>> importReport = std::vector<std::string>();
    std::function<std::optional<std::vector<std::string>>()> whileImporting;
    RequestServer server;
};

TEST_F(RequestServerTest, AnswersEveryKindOfRequestAndShowsWhatItCausedAfterTheReply) {
    const std::string clip = message(1000);
    const std::string notImplemented = "102 Desc: Request type not implemented.";
    const std::string invalidId = "103 Desc: Request's MsgID is invalid.";
    const std::string bad = "109 Desc: Bad document format or system error.";
    const std::string noColon = "Can't find a ':' in one of the headers.\n";
    const std::string noPort = "Error getting response port.";
    const std::string imports = post(message(1003, "<MACRO/>"));
    const auto push = [](const std::string& children) { return post(message(1007, children)); };
    struct Case {
        std::vector<std::string> pieces;
        std::string answer;
        std::string box = "";  // the start of the box shown, if any
        std::string clipboardText = "a\nb";
        std::optional<Texts> imported = Texts{};  // what the import reports; nothing: refused
    } cases[] = {
        {{"POST / HTTP/1.0\r\nContent-Length: 25\r\n\r\n<MsgID ", "ID=\"1000\">", "</MsgID>"},
         "1001 ClipBoard: a\nb"},
        {{"POST / HTTP/1.0\r\nno colon\r\nnor here\r\n\r\n"},
         notImplemented,
         noColon + noColon + "Missing content length header."},
        {{"GET / HTTP/1.0\r\nContent-Length: 25\r\n\r\n" + clip}, notImplemented},
        {{post(message(10001))}, invalidId},
        {{post("<a ID='1'")},
         "120 Desc: Error loading posted XML document: ",
         "Error loading posted"},
        {{post("<MsgID/>")},
         "121 Desc: Server error walking through elements in XML document.",
         "Server error walking"},
        {{imports}, "1004 Desc: "},
        {{imports}, "1004 Desc: ", "first\nsecond", "a\nb", Texts{"first", "second"}},
        {{imports}, invalidId, "", "a\nb", std::nullopt},
        // A push goes to the asking peer's own address, and only to a port written as digits.
        {{push("<SrvPort>8090</SrvPort>")}, "1005 Desc: "},
        {{push("<SrvPort>1@[::1]:39182</SrvPort>")}, bad, noPort},
        {{push("<SrvPort>0</SrvPort>")}, bad, noPort},
        {{push("<SrvPort>65536</SrvPort>")}, bad, noPort},
        {{push("<Other>8090</Other>")}, bad, noPort},
        {{post(clip)}, "1001 ClipBoard: ", "Error copy clip board", ""},
        // The second box, 109's, goes to standard error.
        {{post(message(1002))}, bad, "Error loading header information"},
        // Last, as what it puts on the clipboard is looked at after the loop.
        {{post(message(1002, "<clpcontent>pushed</clpcontent>"))}, "1005 Desc: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pieces.front().substr(0, 90)));
        messages.clear();
        clipboard.offered.clear();
        if (!c.clipboardText.empty())
            clipboard.offered = {{kClipboardText, bytesOf(c.clipboardText)}};
        importReport = c.imported;
        auto reply = peerSends(c.pieces);
        bool repliedFirst = false;
        messages.whileShown = [&](const MessageBox&) {  // taken, or on its way
            repliedFirst = !reply.valid() || reply.wait_for(2s) == std::future_status::ready;
        };
        EXPECT_EQ(answerOf(answered(reply)), c.answer);
        const std::vector<std::string> shown = boxTexts();
        EXPECT_EQ(shown.size(), c.box.empty() ? 0u : 1u);
        EXPECT_EQ(shown.empty() ? "" : shown[0].substr(0, c.box.size()), c.box);
        EXPECT_EQ(repliedFirst, !c.box.empty());
        EXPECT_TRUE(messages.allShownAs("Keystrider Error", MsgIcon::Stop));
    }
    EXPECT_EQ(hooksAsked,
              (Texts{"import MACRO", "import MACRO", "import MACRO", "push 1007 127.0.0.1:8090"}));
    EXPECT_EQ(clipboard.data(kClipboardText), bytesOf("pushed"));
}

TEST_F(RequestServerTest, MacroRequestSetsPostedVariablesAndIsAnsweredWhenItsRunEnds) {
    using O = RunOutcome;
    const std::pair<O, const char*> cases[] = {
        {O::Ran, "1005 Desc: "}, {O::Refused, "103 Desc: Request's MsgID is invalid."}};
    for (const auto& [outcome, answer] : cases) {
        hooksAsked.clear();
        auto reply = peerSends({post(message(10000, "<Who>peer</Who><a:Day>7</a:Day>"))});
        ASSERT_TRUE(runEventsUntil([&] { return !hooksAsked.empty(); }, 2000));
        EXPECT_EQ(hooksAsked, std::vector<std::string>{"start Backup"});
        for (const auto& [name, value] : {std::pair{"ID", "10000"}, {"Who", "peer"}, {"Day", "7"}})
            EXPECT_EQ(variables.textValue(name), value);
        server.complete("Other", O::Ran);           // another macro's run is not this request's
        runEventsUntil([] { return false; }, 400);  // beyond the idle limit: a run may be long
        EXPECT_NE(reply.wait_for(0s), std::future_status::ready);
        server.complete("Backup", outcome);
        EXPECT_EQ(answerOf(answered(reply)), answer);
    }
    // The peer's next request replaces the variables of its last.
    ask({post(message(1000, "<Other>1</Other>"))});
    EXPECT_FALSE(variables.VariableExists("Who"));
    EXPECT_EQ(variables.textValue("Other"), "1");
}

TEST_F(RequestServerTest, PeersOutsideTheAllowedListAreClosedBeforeAByteIsRead) {
    server.setIdleLimit(2000ms);
    server.setAllowedPeers(*parsePeerList("192.0.2.7, 2001:db8::1"));
    QElapsedTimer closing;
    closing.start();
    EXPECT_EQ(ask({"POST / HTTP/1.0\r\nno colon\r\n\r\n", post(message(10000))}), "no answer");
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_TRUE(hooksAsked.empty());
    server.setAllowedPeers(*parsePeerList("192.0.2.7;127.0.0.1"));
    EXPECT_EQ(ask({post(message(1000))}).substr(0, 5), "1001 ");
}

// An import's boxes run nested event loops, in which the peer may hang up
// and its connection be freed; the server must not touch it afterwards.
TEST_F(RequestServerTest, APeerThatHangsUpDuringItsImportIsLetGo) {
    std::future<void> hangsUp;
    whileImporting = [&]() -> std::optional<std::vector<std::string>> {
        hangsUp.wait();
        runEventsUntil([] { return false; }, 200);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return std::vector<std::string>{"Unable to determine command"};
    };
    hangsUp = hangsUpAfter(post(message(1003, "<MACROS/>")));
    runEventsUntil([&] { return !hooksAsked.empty(); }, 2000);
    whileImporting = nullptr;
    EXPECT_EQ(ask({post(message(1000))}), "1001 ClipBoard: a\nb");
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Unable to determine command"});
}

// The clipboard's owner may take its time: the peer that asked waits for its
// answer, the program does not, and a peer that hung up meanwhile is let go.
TEST_F(RequestServerTest, AClipboardReplyWaitsForTheOwnersAnswer) {
    clipboard.holdReads = true;
    auto readHeld = [this, held = 0]() mutable {
        EXPECT_TRUE(runEventsUntil([&] { return clipboard.heldReads > held; }, 2000));
        held = clipboard.heldReads;
        runEventsUntil([] { return false; }, 100);
    };
    auto reply = peerSends({post(message(1000))});
    readHeld();
    EXPECT_NE(reply.wait_for(0s), std::future_status::ready);
    clipboard.answerHeldRead();
    const std::string raw = answered(reply);
    EXPECT_EQ(answerOf(raw), "1001 ClipBoard: a\nb");
    EXPECT_NE(raw.find("\r\nDate: Sun, 06 Nov 1994 08:49:37 GMT\r\n"), std::string::npos);
    hangsUpAfter(post(message(1000))).wait();
    readHeld();
    clipboard.holdReads = false;
    EXPECT_EQ(ask({post(message(1000))}), "1001 ClipBoard: a\nb");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    clipboard.answerHeldRead();
}

// A hostile peer holds no one up: a peer that comes meanwhile is served at
// once. Too much is refused at once; an idle peer is closed at the idle limit,
// a sender of a byte now and then at the request's deadline.
TEST_F(RequestServerTest, HostilePeersAreClosedAndTheServerGoesOnServing) {
    Texts bytes;
    for (char c : post(message(1000))) bytes.emplace_back(1, c);
    server.setIdleLimit(1500ms);
    server.setRequestDeadline(1500ms);
    // What the peer is, what it sends, how far apart and whether it is closed at once.
    const std::tuple<const char*, Texts, std::chrono::milliseconds, bool> peers[] = {
        {"idle", {}, 10ms, false},
        {"slow", bytes, 100ms, false},
        {"huge length", {"POST / HTTP/1.0\r\nContent-Length: 2000000000\r\n\r\n<a"}, 10ms, true},
    };
    for (const auto& [what, pieces, gap, closedAtOnce] : peers) {
        SCOPED_TRACE(what);
        auto hostile = peerSends(pieces, gap);
        runEventsUntil([] { return false; }, 100);
        QElapsedTimer closing;
        closing.start();
        EXPECT_EQ(ask({post(message(1000))}), "1001 ClipBoard: a\nb");
        EXPECT_LT(closing.elapsed(), 700);
        EXPECT_EQ(answerOf(answered(hostile)).find("1001"), std::string::npos);
        EXPECT_EQ(closing.elapsed() < 1000, closedAtOnce);
        EXPECT_LT(closing.elapsed(), 3000);
    }
}

TEST_F(RequestServerTest, OnlyOneErrorBoxIsOpenAtATime) {
    int opened = 0;
    messages.whileShown = [&](const MessageBox&) {
        if (++opened == 1) ask({"POST / HTTP/1.0\r\n\r\n"});  // another error meanwhile
    };
    testing::internal::CaptureStderr();
    ask({"POST / HTTP/1.0\r\n\r\n"});
    runEventsUntil([&] { return opened > 0; }, 1000);
    EXPECT_EQ(opened, 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "Keystrider Error: Missing content length header."),
              std::string::npos);
}

}  // namespace
}  // namespace ks::test
