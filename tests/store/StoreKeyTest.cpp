#include "store/StoreKey.h"

#include <gtest/gtest.h>

#include "core/Result.h"
#include "core/Utf8.h"

namespace ks {
namespace {

TEST(StoreKeyTest, EveryKeySpellsItsPathEachWayTheStoreTakesIt) {
    const std::pair<StoreKey, std::string> keys[] = {
        {StoreKey::root(), ""},
        {StoreKey::macros(), "Macros"},
        {MacroKey("m").command(3).key(), "Macros\\m\\Commands\\3"},
        {RecordingKey("r").key(), "Journals\\r"},
    };
    for (const auto& [key, relative] : keys) {
        EXPECT_EQ(key.relative(), relative);
        EXPECT_EQ(key.rootSubpath(), "\\" + relative);
        EXPECT_EQ(key.treePath(),
                  "Software\\Quorvel\\Keystrider" + (relative.empty() ? "" : "\\" + relative));
        EXPECT_EQ(key.direct(), "SOFTWARE\\Quorvel\\Keystrider\\" + relative);
    }
    EXPECT_EQ(CommandKey("m", 12).macroSubpath(), "m\\Commands\\12");
    EXPECT_EQ(MacroKey("m").commandDirect(12),
              "SOFTWARE\\Quorvel\\Keystrider\\Macros\\m\\Commands\\12");
}

TEST(ExpectedTest, MadeFromASuccessItIsAFailureWithAText) {
    EXPECT_EQ(Expected<int>(Result::success()).error(), kSuccessWithoutValue);
    EXPECT_EQ(Expected<int>(Result::failure("gone")).error(), "gone");
}

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
