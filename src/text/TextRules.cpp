#include "text/TextRules.h"

#include <QChar>

#include "core/Utf8.h"

namespace ks {

namespace {

bool isAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isSpaceAt(std::string_view text, std::size_t pos, std::size_t& length) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
        length = 1;
        return isAsciiSpace(text[pos]);
    }
    const utf8::CodePoint cp = utf8::decode(text, pos);
    length = cp.length;
    return cp.valid && QChar::isSpace(cp.value);
}

}  // namespace

std::vector<std::string_view> splitPieces(std::string_view text, std::string_view delimiter) {
    if (delimiter.empty())
        return text.empty() ? std::vector<std::string_view>{} : std::vector{text};
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const std::size_t at = text.find(delimiter);
        pieces.push_back(text.substr(0, at));
        text =
            at == std::string_view::npos ? std::string_view() : text.substr(at + delimiter.size());
    }
    return pieces;
}

std::string_view trimLeft(std::string_view text) {
    std::size_t pos = 0;
    for (std::size_t length = 0; pos < text.size() && isSpaceAt(text, pos, length);) pos += length;
    return text.substr(pos);
}

std::string_view trimRight(std::string_view text) {
    std::size_t end = 0;
    for (std::size_t pos = 0, length = 0; pos < text.size(); pos += length) {
        if (!isSpaceAt(text, pos, length)) end = pos + length;
    }
    return text.substr(0, end);
}

std::string_view trim(std::string_view text) {
    return trimRight(trimLeft(text));
}

std::string replaceAll(std::string_view text, std::string_view search, std::string_view with) {
    if (search.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at; (at = text.find(search)) != std::string_view::npos;) {
        out.append(text.substr(0, at)).append(with);
        text.remove_prefix(at + search.size());
    }
    return out.append(text);
}

}  // namespace ks
