#include "system/DecimalText.h"

namespace ks {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
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

}  // namespace ks
