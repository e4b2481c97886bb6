#pragma once

#include <string_view>

#include "core/PlusDigits.h"  // leadingInteger, which the window and dialog commands use

namespace ks {

// Whether `text` is a number: an optional sign, then digits with at most
// one decimal point among them.
bool isDecimalNumber(std::string_view text);

}  // namespace ks
