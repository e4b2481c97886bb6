#include "system/Wildcard.h"

#include <vector>

#include "core/Utf8.h"

namespace ks {

namespace {

struct Token {
    enum Kind { Star, AnyOne, Literal } kind;
    char32_t value = 0;
};

std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> points;
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        // A byte that is no UTF-8 stands for itself, kept apart from every character.
        points.push_back(cp.valid ? cp.value : 0x110000 + static_cast<unsigned char>(text[pos]));
        pos += cp.length;
    }
    return points;
}

std::vector<Token> tokens(std::string_view pattern) {
    const std::vector<char32_t> points = codePoints(pattern);
    std::vector<Token> out;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i] == U'*') {
            out.push_back({Token::Star});
        } else if (points[i] == U'?') {
            out.push_back({Token::AnyOne});
        } else {
            // An escape at the very end has nothing to escape and stands for itself.
            if (points[i] == U'_' && i + 1 < points.size()) ++i;
            out.push_back({Token::Literal, points[i]});
        }
    }
    return out;
}

}  // namespace

bool MatchWildcard(std::string_view text, std::string_view pattern) {
    const std::vector<char32_t> t = codePoints(text);
    const std::vector<Token> p = tokens(pattern);
    // matches[i] after the pass for token j: whether t[i..] matches p[j..].
    // Passes run from the last token back, so a title and a pattern of any
    // length cost their product, however many stars there are.
    std::vector<char> matches(t.size() + 1, 0), next(t.size() + 1, 0);
    next[t.size()] = 1;  // both used up
    for (std::size_t j = p.size(); j-- > 0;) {
        matches[t.size()] = 0;  // the title is used up, the pattern is not
        bool anyLater = false;  // a star: does some t[k..], k > i, match p[j+1..]?
        for (std::size_t i = t.size(); i-- > 0;) {
            switch (p[j].kind) {
                case Token::Star:
                    anyLater = anyLater || next[i + 1];
                    matches[i] = next[i] || anyLater;
                    break;
                case Token::AnyOne: matches[i] = next[i + 1]; break;
                case Token::Literal: matches[i] = t[i] == p[j].value && next[i + 1]; break;
            }
        }
        matches.swap(next);
    }
    return next[0] != 0;
}

}  // namespace ks
