#include "core/Utf8.h"

#include <QChar>

namespace ks::utf8 {
namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

template <typename AsciiMap, typename Map>
std::string mapEach(std::string_view text, AsciiMap asciiMap, Map map) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        // Names are mostly ASCII, and every key lookup folds its whole path.
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            out += asciiMap(text[pos++]);
            continue;
        }
        const CodePoint cp = decode(text, pos);
        if (cp.valid) {
            append(out, map(cp.value));
        } else {
            out += text[pos];
        }
        pos += cp.length;
    }
    return out;
}

}  // namespace

CodePoint decode(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t extra = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {lead, 1, false};
    }
    if (pos + extra >= text.size()) return {lead, 1, false};
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte)) return {lead, 1, false};
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {lead, 1, false};
    }
    return {value, extra + 1, true};
}

void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string encode(char32_t cp) {
    std::string out;
    append(out, cp);
    return out;
}

std::size_t length(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += decode(text, pos).length) ++count;
    return count;
}

std::string_view prefix(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (; pos < text.size() && count > 0; --count) pos += decode(text, pos).length;
    return text.substr(0, pos);
}

std::string upper(std::string_view text) {
    // Plain ASCII, the usual case for names and paths, is mapped in place.
    std::string out(text);
    std::size_t pos = 0;
    for (; pos < out.size() && static_cast<unsigned char>(out[pos]) < 0x80; ++pos) {
        out[pos] = asciiUpper(out[pos]);
    }
    if (pos == out.size()) return out;
    out.resize(pos);
    return out + mapEach(text.substr(pos), asciiUpper, [](char32_t c) { return upperChar(c); });
}

bool sameName(std::string_view a, std::string_view b) {
    return upper(a) == upper(b);
}

char32_t upperChar(char32_t ch) {
    return static_cast<char32_t>(QChar::toUpper(ch));
}

std::u32string codePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const CodePoint cp = decode(text, pos);
        out += cp.value;
        pos += cp.length;
    }
    return out;
}

std::string lower(std::string_view text) {
    return mapEach(
        text, [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; },
        [](char32_t c) { return lowerChar(c); });
}

char32_t lowerChar(char32_t ch) {
    return static_cast<char32_t>(QChar::toLower(ch));
}

}  // namespace ks::utf8
