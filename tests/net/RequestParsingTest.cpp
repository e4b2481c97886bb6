#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpRequest.h"
#include "net/MessageIdTable.h"
#include "net/Reply.h"

namespace ks::test {
namespace {

std::vector<int> noteIds(const std::vector<ServerNote>& notes) {
    std::vector<int> ids;
    for (const ServerNote& note : notes) ids.push_back(note.id);
    return ids;
}

TEST(RequestParser, ReadsRequestsInAnyPieces) {
    using P = RequestParser::Progress;
    struct Case {
        std::vector<std::string> reads;
        P progress;
        std::string method, path, query, body;
        std::vector<int> notes;
    } cases[] = {
        {{"post / HTTP/1.0\r\ncontent-length: 5\r\n\r\nhelloEXTRA"},
         P::Complete,
         "post",
         "/",
         "",
         "hello",
         {}},
        {{"POST /x HTTP/1.0\nCONTENT-LENGTH:   3\n\nabc"},
         P::Complete,
         "POST",
         "/x",
         "",
         "abc",
         {}},
        {{"PO", "ST / HTTP/1.0\r", "\nContent-Length: 6\r\n\r\nab", "cd", "efgh"},
         P::Complete,
         "POST",
         "/",
         "",
         "abcdef",
         {}},
        {{"POST / HTTP/1.0\r\nContent-Length: 4\r\n\r\nab"},
         P::NeedMore,
         "POST",
         "/",
         "",
         "ab",
         {}},
        {{"POST / HTTP/1.0\r\nHost: a\r\n\r\n<a/>"}, P::Complete, "POST", "/", "", "", {108}},
        {{"POST / HTTP/1.0\r\nno colon\r\nContent-Length: 0\r\n\r\n"},
         P::Complete,
         "POST",
         "/",
         "",
         "",
         {107}},
        {{"GET /a+b%41%zz?q=1 HTTP/1.0\n\n"},
         P::Complete,
         "GET",
         std::string("/a bA\0", 6),
         "q=1",
         "",
         {131, 108}},
        {{"GET   /p  \n"}, P::NeedMore, "GET", "/p", "", "", {}},
        {{"POST / HTTP/1.0\r\nContent-Length: 16777217\r\n\r\n"},
         P::TooLarge,
         "POST",
         "/",
         "",
         "",
         {}},
        {{"POST / HTTP/1.0\nContent-Length: 16777216\n\n", std::string(kMaxRequestBytes, 'x')},
         P::TooLarge,
         "POST",
         "/",
         "",
         "",
         {}},
        {{"POST /", std::string(kMaxLineBytes, 'x')}, P::TooLarge, "", "", "", "", {}},
    };
    for (const Case& c : cases) {
        RequestParser parser;
        P progress = P::NeedMore;
        for (const std::string& read : c.reads) progress = parser.feed(read);
        const std::string label = c.reads.front().substr(0, 60);
        EXPECT_EQ(progress, c.progress) << label;
        EXPECT_EQ(parser.request().method, c.method) << label;
        EXPECT_EQ(parser.request().path, c.path) << label;
        EXPECT_EQ(parser.request().query, c.query) << label;
        EXPECT_EQ(parser.request().body, c.body) << label;
        EXPECT_EQ(noteIds(parser.takeNotes()), c.notes) << label;
    }
}

TEST(RequestParser, KeepsTheLastOfRepeatedHeadersAndTheVersion) {
    RequestParser parser;
    parser.feed("POST /p HTTP/1.0\r\nX-A: 1\r\nx-a:  2\r\n");
    EXPECT_EQ(parser.request().version, "HTTP/1.0");
    EXPECT_EQ(parser.request().headers.at("x-a"), "2");
    EXPECT_FALSE(parser.request().hasQuery);
}

TEST(Reply, IsTheStatusLineFourHeadersAndTheBody) {
    EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(httpDate(1796586523), "Sun, 06 Dec 2026 19:48:43 GMT");
    EXPECT_EQ(httpReply("<a/>", 0),
              "HTTP/1.0 200 OK\r\nServer: Keystrider\r\nDate: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
              "Content-Type: text/xml\r\nContent-Length: 4\r\n\r\n<a/>");
}

TEST(Reply, DocumentsCarryTheCodeAndItsText) {
    struct Case {
        std::int32_t code;
        const char* child;
        const char* text;
    } cases[] = {
        {kReplyClipboard, "ClipBoard", "a\r\nb"},
        {kReplyNotImplemented, "Desc", "Request type not implemented."},
        {kReplyInvalidId, "Desc", "Request's MsgID is invalid."},
        {kReplyAccepted, "Desc", ""},
    };
    for (const Case& c : cases) {
        const XmlDocument document = replyDocument(c.code, "a\r\nb");
        EXPECT_EQ(*document.root().attribute("ID"), std::to_string(c.code));
        ASSERT_EQ(document.root().children.size(), 1u);
        EXPECT_EQ(document.root().children[0].name, c.child);
        EXPECT_EQ(document.root().children[0].text, c.text);
    }
}

TEST(MessageIdTable, HoldsOneMacroPerIdAndFindsNamesWithoutCase) {
    MessageIdTable table;
    table.Set(10000, "Backup");
    table.Set(10001, "Mail");
    table.Set(10000, "Nightly");
    EXPECT_EQ(table.NameOf(10000), "Nightly");
    EXPECT_EQ(table.IdOf("MAIL"), "10001");
    EXPECT_EQ(table.IdOf("Backup"), "");
    table.Remove("nightly");
    EXPECT_EQ(table.NameOf(10000), std::nullopt);
    EXPECT_EQ(table.NameOf(10001), "Mail");
}

}  // namespace
}  // namespace ks::test
