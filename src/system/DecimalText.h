#pragma once

#include <string_view>

namespace ks {

// Whether `text` is a number: an optional sign, then digits with at most
// one decimal point among them.
bool isDecimalNumber(std::string_view text);

// The decimal number `text` begins with (after blanks, with an optional
// sign), 0 if it begins with none; held within the range of int.
int leadingInteger(std::string_view text);

}  // namespace ks
