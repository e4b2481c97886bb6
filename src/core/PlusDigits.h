#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ks {

// The number in a text that is one optional '+' followed by one or more
// decimal digits and nothing else; nothing for any other text. A number too
// large for 64 bits is taken as the largest one, which every caller treats as
// "practically forever".
std::optional<std::uint64_t> parsePlusDigits(std::string_view text);

// A TCP port written as decimal digits alone, 1 to 65535; nothing for any
// other text.
std::optional<std::uint16_t> parsePortNumber(std::string_view text);

// The decimal number `text` begins with (after blanks, with an optional
// sign), 0 if it begins with none; held within the range of int.
int leadingInteger(std::string_view text);

}  // namespace ks
