#include "core/PlusDigits.h"

#include <algorithm>
#include <limits>

namespace ks {

std::optional<std::uint64_t> parsePlusDigits(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        number = number > (kMax - digit) / 10 ? kMax : number * 10 + digit;
    }
    return number;
}

std::optional<std::uint16_t> parsePortNumber(std::string_view text) {
    if (text.empty() || text.front() == '+') return std::nullopt;
    const std::optional<std::uint64_t> number = parsePlusDigits(text);
    if (!number || *number < 1 || *number > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(*number);
}

int leadingInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    constexpr long long kLimit = std::numeric_limits<int>::max();
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min(value * 10 + (text[at] - '0'), kLimit + 1);
    }
    return static_cast<int>(negative ? -value : std::min(value, kLimit));
}

}  // namespace ks
