#include "net/HttpRequest.h"

#include <algorithm>
#include <utility>

#include "core/PlusDigits.h"

namespace ks {

namespace {

constexpr int kNoColonInHeader = 107;
constexpr int kNoContentLength = 108;
constexpr int kBadHex = 131;

std::string_view trimLeft(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view trimRight(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \t");
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string decodePath(std::string_view path, std::vector<ServerNote>& notes) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '+') {
            out += ' ';
        } else if (path[i] == '%') {
            const std::string_view digits = path.substr(i + 1, 2);
            const int high = digits.size() == 2 ? hexDigit(digits[0]) : -1;
            const int low = digits.size() == 2 ? hexDigit(digits[1]) : -1;
            if (high < 0 || low < 0) {
                notes.push_back({kBadHex, std::string(digits)});
                out += '\0';
            } else {
                out += static_cast<char>(high * 16 + low);
            }
            i += digits.size();
        } else {
            out += path[i];
        }
    }
    return out;
}

RequestParser::Progress RequestParser::feed(std::string_view bytes) {
    if (state_ == State::Complete || tooLarge_) return progress();
    received_ += bytes.size();
    if (received_ > kMaxRequestBytes) {
        tooLarge_ = true;
        return progress();
    }
    std::size_t position = 0;
    while (!tooLarge_ && (state_ == State::RequestLine || state_ == State::Headers) &&
           position < bytes.size()) {
        const std::size_t end = bytes.find('\n', position);
        const std::string_view piece = bytes.substr(position, end - position);
        for (char c : piece) {
            if (c != '\r') line_ += c;
        }
        if (line_.size() > kMaxLineBytes) {
            tooLarge_ = true;
            return progress();
        }
        if (end == std::string_view::npos) return progress();
        position = end + 1;
        takeLine();
    }
    if (state_ == State::Body) appendBody(bytes.substr(std::min(position, bytes.size())));
    return progress();
}

RequestParser::Progress RequestParser::progress() const {
    if (tooLarge_) return Progress::TooLarge;
    return state_ == State::Complete ? Progress::Complete : Progress::NeedMore;
}

std::vector<ServerNote> RequestParser::takeNotes() {
    return std::exchange(notes_, {});
}

void RequestParser::takeLine() {
    if (line_.empty()) {
        startBody();
        return;
    }
    if (state_ == State::RequestLine) {
        parseRequestLine();
        state_ = State::Headers;
    } else {
        parseHeader();
    }
    line_.clear();
}

void RequestParser::parseRequestLine() {
    const std::string_view line = line_;
    const std::size_t blank = line.find(' ');
    request_.method = std::string(line.substr(0, blank));
    const std::string_view rest =
        blank == std::string_view::npos ? std::string_view() : trimLeft(line.substr(blank + 1));
    const std::size_t second = rest.find(' ');
    std::string_view path = rest.substr(0, second);
    if (second == std::string_view::npos) {
        path = trimRight(rest);
    } else {
        request_.version = std::string(trimLeft(rest.substr(second + 1)));
    }
    const std::size_t question = path.find('?');
    if (question != std::string_view::npos) {
        request_.hasQuery = true;
        request_.query = std::string(path.substr(question + 1));
        path = path.substr(0, question);
    }
    request_.path = decodePath(path, notes_);
}

void RequestParser::parseHeader() {
    const std::string_view line = line_;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        notes_.push_back({kNoColonInHeader, {}});
        return;
    }
    request_.headers[asciiLower(line.substr(0, colon))] =
        std::string(trimLeft(line.substr(colon + 1)));
}

void RequestParser::startBody() {
    const auto header = request_.headers.find("content-length");
    if (header == request_.headers.end() || header->second.empty()) {
        notes_.push_back({kNoContentLength, {}});
        state_ = State::Complete;
        return;
    }
    request_.contentLength = leadingInteger(header->second);
    if (request_.contentLength > 0 &&
        static_cast<std::size_t>(request_.contentLength) > kMaxRequestBytes) {
        tooLarge_ = true;
        return;
    }
    state_ = State::Body;
    // Growing by doubling could take twice what the peer sends.
    request_.body.reserve(static_cast<std::size_t>(std::max(request_.contentLength, 0)));
    appendBody({});
}

void RequestParser::appendBody(std::string_view bytes) {
    const std::size_t wanted = std::max<std::int32_t>(request_.contentLength, 0);
    request_.body.append(bytes.substr(0, wanted - std::min(wanted, request_.body.size())));
    if (request_.body.size() >= wanted) state_ = State::Complete;
}

}  // namespace ks
