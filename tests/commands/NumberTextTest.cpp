#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/PlusDigits.h"

namespace ks {
namespace {

TEST(ParsePlusDigits, AcceptsOnlyAnOptionalPlusAndDigits) {
    const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> cases = {
        {"+20", 20},
        {"007", 7},
        {"18446744073709551615", 18446744073709551615ull},
        {"99999999999999999999999", 18446744073709551615ull},  // saturates
        {"", std::nullopt},
        {"+", std::nullopt},
        {"++1", std::nullopt},
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {std::string("1\0", 2), std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parsePlusDigits(text), expected) << text;
}

}  // namespace
}  // namespace ks
