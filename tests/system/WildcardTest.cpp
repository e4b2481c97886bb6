#include <gtest/gtest.h>

#include "system/Wildcard.h"

namespace ks {
namespace {

TEST(WildcardTest, MatchesAsTheTitleRulesSay) {
    const struct {
        std::string_view text, pattern;
        bool matches;
    } cases[] = {
        {"NOTEPAD", "*PAD", true},
        {"NOTEPAD", "NOTE?AD", true},
        {"NOTEPAD", "NOTEPAD*", false},
        {"NOTEPAD", "NOTEPAD", true},
        {"NOTEPAD", "NOTEPA", false},
        {"NOTEPAD", "*", true},
        {"NOTEPAD", "*O*A*", true},
        {"NOTEPAD", "*O*A*D*", false},
        {"NOTEPAD", "N*E*D", true},
        {"NOTEPAD", "????????", false},
        {"", "", true},
        {"", "*", false},
        {"", "?", false},
        {"A", "", false},
        {"*", "_*", true},
        {"AB", "_*", false},
        {"?", "_?", true},
        {"X", "_?", false},
        {"_", "__", true},
        {"A_B", "A_B", false},
        {"AB", "A_B", true},
        {"A_", "A_", true},
        {"ÜBER Ä", "?BER ?", true},
        {"ÜBER", "U*", false},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "*A*A*A*A*A*A*A*A*A*A*B", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchWildcard(c.text, c.pattern), c.matches) << c.text << " ~ " << c.pattern;
    }
}

}  // namespace
}  // namespace ks
