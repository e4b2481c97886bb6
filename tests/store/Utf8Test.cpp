#include <gtest/gtest.h>

#include "core/Utf8.h"

namespace ks {
namespace {

TEST(Utf8, UpperCasesEachCharacterOnItsOwn) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"macro", "MACRO"},   {"Über", "ÜBER"},
        {"straße", "STRAßE"},                        // ß has no one-character upper case: it stays
        {"ǆ", "Ǆ"},           {"ﬁx", "ﬁX"},          // a ligature is not split into two letters
        {"日本", "日本"},     {"a\xff-", "A\xff-"},  // a stray byte passes through untouched
    };
    for (const Case& c : cases) EXPECT_EQ(utf8::upper(c.in), c.out) << c.in;
}

TEST(Utf8, DecodesAndRejectsMalformedSequences) {
    EXPECT_EQ(utf8::decode("é", 0).value, U'é');
    EXPECT_EQ(utf8::decode("😀", 0).length, 4u);
    for (const char* bad : {"\xc3", "\xe2\x82", "\xc0\x80", "\xed\xa0\x80", "\x80"}) {
        const auto cp = utf8::decode(bad, 0);
        EXPECT_FALSE(cp.valid) << bad;
        EXPECT_EQ(cp.length, 1u);
    }
    EXPECT_EQ(utf8::length("aé😀"), 3u);
    EXPECT_EQ(utf8::prefix("aé😀b", 3), "aé😀");
    EXPECT_EQ(utf8::encode(U'€'), "€");
}

}  // namespace
}  // namespace ks
