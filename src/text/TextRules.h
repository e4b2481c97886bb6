#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ks {

// The pieces of `text` between occurrences of `delimiter` (case-sensitive,
// left to right): two adjacent delimiters give an empty piece, a delimiter at
// the very end gives no empty last piece, and an empty text gives none. An
// empty delimiter gives the whole text as one piece.
std::vector<std::string_view> splitPieces(std::string_view text, std::string_view delimiter);

// White space is every character Unicode calls white space: blank, tab, the
// line and page breaks, no-break space and the other spaces. Bytes that are
// not UTF-8 are never white space and are kept as they are.
std::string_view trimLeft(std::string_view text);
std::string_view trimRight(std::string_view text);
std::string_view trim(std::string_view text);

// Every non-overlapping occurrence of `search`, scanning left to right and
// not rescanning what was put in; an empty `search` changes nothing.
std::string replaceAll(std::string_view text, std::string_view search, std::string_view with);

}  // namespace ks
