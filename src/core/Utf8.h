#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ks::utf8 {

// One step through UTF-8 text. A byte that does not start a valid sequence
// is taken on its own (valid == false), so that no input is ever lost.
struct CodePoint {
    char32_t value = 0;
    std::size_t length = 1;
    bool valid = false;
};

CodePoint decode(std::string_view text, std::size_t pos);
void append(std::string& out, char32_t cp);
std::string encode(char32_t cp);

// Number of characters (code points, invalid bytes counting one each).
std::size_t length(std::string_view text);

// The first `count` characters of `text`.
std::string_view prefix(std::string_view text, std::size_t count);

// Each character upper-cased on its own (the simple Unicode mapping, so that
// one character never becomes two): the rule by which the store compares names.
std::string upper(std::string_view text);
std::string lower(std::string_view text);
char32_t upperChar(char32_t ch);
char32_t lowerChar(char32_t ch);

// Whether two names are the same by that rule (each upper-cased).
bool sameName(std::string_view a, std::string_view b);

// The text's characters, an invalid byte standing for itself.
std::u32string codePoints(std::string_view text);

}  // namespace ks::utf8
