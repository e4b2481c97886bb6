#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "RecordingMessages.h"
#include "expand/VariableTable.h"
#include "net/HttpRequest.h"
#include "net/PostedVariables.h"
#include "net/Reply.h"
#include "net/RequestServer.h"

namespace ks::test {
namespace {

TEST(RequestParser, ReadsRequestsInAnyPieces) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"post / HTTP/1.0\r\ncontent-length: 5\r\n\r\nhelloEXTRA"}, "done post / [hello]"},
        {{"POST /x HTTP/1.0\nContent-Length: 9\nCONTENT-LENGTH:   3\n\nabc"}, "done POST /x [abc]"},
        {{"PO", "ST / HTTP/1.0\r", "\nContent-Length: 6\r\n\r\nab", "cd", "efgh"},
         "done POST / [abcdef]"},
        {{"POST / HTTP/1.0\r\nContent-Length: 4\r\n\r\nab"}, "more POST / [ab]"},
        {{"POST / HTTP/1.0\r\nHost: a\r\n\r\n<a/>"}, "done POST / [] 108"},
        {{"POST / HTTP/1.0\r\nno colon\r\nContent-Length: 0\r\n\r\n"}, "done POST / [] 107"},
        {{"GET /a+b%41%zz?q=1 HTTP/1.0\n\n"}, std::string("done GET /a bA\0?q=1 [] 131zz 108", 32)},
        {{"GET   /p  \n"}, "more GET /p []"},
        {{"POST / HTTP/1.0\r\nContent-Length: 16777217\r\n\r\nno colon\n"}, "too large POST / []"},
        {{"POST / HTTP/1.0\nContent-Length: 16777216\n\n", std::string(kMaxRequestBytes, 'x')},
         "too large POST / []"},
        {{"POST /", std::string(kMaxLineBytes, 'x')}, "too large   []"},
    };
    // What the parser made of a request, in one line: how far it got, method, path, ?query,
    // [body] and the notes' ids with their texts.
    static const char* const progressNames[] = {"more", "done", "too large"};
    for (const auto& [reads, expected] : cases) {
        RequestParser parser;
        RequestParser::Progress progress = RequestParser::Progress::NeedMore;
        for (const std::string& read : reads) progress = parser.feed(read);
        const HttpRequest& request = parser.request();
        std::string text = std::string(progressNames[static_cast<int>(progress)]) + " " +
                           request.method + " " + request.path +
                           (request.hasQuery ? "?" + request.query : "") + " [" + request.body +
                           "]";
        for (const ServerNote& note : parser.takeNotes())
            text += " " + std::to_string(note.id) + note.extra;
        EXPECT_EQ(text, expected) << reads.front().substr(0, 60);
    }
}

TEST(Reply, IsTheStatusLineFourHeadersAndTheBody) {
    EXPECT_EQ(httpReply("<a/>", 1796586523),
              "HTTP/1.0 200 OK\r\nServer: Keystrider\r\nDate: Sun, 06 Dec 2026 19:48:43 GMT\r\n"
              "Content-Type: text/xml\r\nContent-Length: 4\r\n\r\n<a/>");
}

TEST(PeerTrust, PushedMacrosAreTakenFromAcceptedPeersOnly) {
    // every peer served?, the accepted list, the peer: taken?
    const std::tuple<bool, const char*, const char*, bool> cases[] = {
        {false, "", "127.0.0.1", false},
        {false, "192.0.2.7 127.0.0.1", "127.0.0.1", true},
        {false, "::ffff:192.0.2.7", "192.0.2.7", true},
        {false, "192.0.2.7", "192.0.2.70", false},
        {false, "bad 127.0.0.1", "127.0.0.1", false},
        {true, "", "192.0.2.9", true},
    };
    for (const auto& [everyPeer, accepted, peer, taken] : cases)
        EXPECT_EQ(pushAccepted(everyPeer, accepted, peer), taken) << accepted << " / " << peer;
}

// Peers' variables: a peer's request replaces its earlier ones, and the
// oldest peer's give way when the cap would be passed.
TEST(PeerTrust, PostedVariablesStayWithinTheirCap) {
    RecordingMessages messages;
    VariableTable table(messages);
    table.SetVariable("Mine", "set by a macro");
    PostedVariables posted(table, 20);
    // The peer, the values it posts, whether they are taken, and the table's names afterwards.
    const std::tuple<const char*, PostedVariables::Values, bool, std::vector<std::string>> steps[] =
        {
            {"a", {{"One", "1111"}, {"Two", "2"}}, true, {"Mine", "One", "Two"}},
            {"a", {{"Three", "3"}}, true, {"Mine", "Three"}},
            {"b", {{"Four", "4444"}}, true, {"Mine", "Three", "Four"}},
            {"c", {{"Five", "55555"}}, true, {"Mine", "Four", "Five"}},
            {"b", {{"Five", "5"}}, true, {"Mine", "Five"}},
            {"c", {{"Six", std::string(18, 'x')}}, false, {"Mine", "Five"}},
            {"c", {}, true, {"Mine", "Five"}},
        };
    for (const auto& [peer, values, taken, expected] : steps) {
        EXPECT_EQ(posted.set(peer, values), taken) << peer;
        std::vector<std::string> names;
        for (const Variable& v : table) names.push_back(v.name);
        EXPECT_EQ(names, expected) << peer;
    }
    EXPECT_EQ(table.textValue("five"), "5");
}

}  // namespace
}  // namespace ks::test
