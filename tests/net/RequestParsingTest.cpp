#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpRequest.h"
#include "net/Reply.h"

namespace ks::test {
namespace {

// What the parser made of a request, in one line: how far it got, method,
// path, ?query, [body] and the notes' ids with their texts.
std::string summary(RequestParser& parser, RequestParser::Progress progress) {
    static const char* const progressNames[] = {"more", "done", "too large"};
    const HttpRequest& request = parser.request();
    std::string text = std::string(progressNames[static_cast<int>(progress)]) + " " +
                       request.method + " " + request.path +
                       (request.hasQuery ? "?" + request.query : "") + " [" + request.body + "]";
    for (const ServerNote& note : parser.takeNotes()) {
        text += " " + std::to_string(note.id) + note.extra;
    }
    return text;
}

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
    for (const auto& [reads, expected] : cases) {
        RequestParser parser;
        RequestParser::Progress progress = RequestParser::Progress::NeedMore;
        for (const std::string& read : reads) progress = parser.feed(read);
        EXPECT_EQ(summary(parser, progress), expected) << reads.front().substr(0, 60);
    }
}

TEST(Reply, IsTheStatusLineFourHeadersAndTheBody) {
    EXPECT_EQ(httpDate(1796586523), "Sun, 06 Dec 2026 19:48:43 GMT");
    EXPECT_EQ(httpReply("<a/>", 0),
              "HTTP/1.0 200 OK\r\nServer: Keystrider\r\nDate: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
              "Content-Type: text/xml\r\nContent-Length: 4\r\n\r\n<a/>");
}

}  // namespace
}  // namespace ks::test
