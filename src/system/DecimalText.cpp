#include "system/DecimalText.h"

#include <algorithm>
#include <limits>

namespace ks {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool isDecimalNumber(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    bool digit = false;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (isDigit(c)) {
            digit = true;
        } else {
            return false;
        }
    }
    return digit;
}

int leadingInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    constexpr long long kLimit = std::numeric_limits<int>::max();
    long long value = 0;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        value = std::min(value * 10 + (text[at] - '0'), kLimit + 1);
    }
    return static_cast<int>(negative ? -value : std::min(value, kLimit));
}

}  // namespace ks
