#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

// A server error noted while a request was read or answered: the string
// table's id and the text shown after it.
struct ServerNote {
    int id = 0;
    std::string extra;
};

// One request as a peer sent it. Header names are lower case; a later header
// of the same name replaces the earlier one.
struct HttpRequest {
    std::string method;
    std::string path;
    std::string version;
    bool hasQuery = false;
    std::string query;
    std::map<std::string, std::string> headers;
    std::int32_t contentLength = 0;
    std::string body;
};

// The largest request the server reads, and the longest request or header
// line; more closes the connection.
inline constexpr std::size_t kMaxRequestBytes = 16 * 1024 * 1024;
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Reads one request from the bytes of a connection, in whatever pieces they
// arrive. Lines end with a line feed (carriage returns are dropped); an empty
// line ends the headers; the body is cut to the Content-Length and anything
// after it is ignored.
class RequestParser {
public:
    enum class Progress { NeedMore, Complete, TooLarge };

    Progress feed(std::string_view bytes);

    const HttpRequest& request() const { return request_; }
    // The notes gathered since the last call, oldest first.
    std::vector<ServerNote> takeNotes();

private:
    enum class State { RequestLine, Headers, Body, Complete };

    void takeLine();
    void parseRequestLine();
    void parseHeader();
    void startBody();
    void appendBody(std::string_view bytes);
    Progress progress() const;

    State state_ = State::RequestLine;
    HttpRequest request_;
    std::string line_;
    std::size_t received_ = 0;
    bool tooLarge_ = false;
    std::vector<ServerNote> notes_;
};

// The path of a request line decoded: '+' is a blank and '%' with two hex
// digits the byte they give. A bad pair is noted (131) and gives a zero byte.
std::string decodePath(std::string_view path, std::vector<ServerNote>& notes);

}  // namespace ks
