#include <gtest/gtest.h>

#include "ExpandFixture.h"

namespace ks::test {
namespace {

using Expand = ExpandFixture;

// Escapes, line breaks, character codes, nested references, names of the
// machine, variables and the environment, and a missing closing symbol
// (which empties the whole argument with one message).
TEST_F(Expand, EachFormOfText) {
    variables.SetVariable("date", "mine");  // the machine's names hide variables
    variables.SetVariable("DISKSPACEC", "mine");
    expectAll({
        {"plain text, no symbols", "plain text, no symbols", {}},
        {"a``b", "a`b", {}},
        {"`[DATE]", "[DATE", {"] should be preceeded by an opening symbol."}},
        {"`(1+2)", "(1+2)", {}},
        {"caf`é`€", "café€", {}},  // the accent takes a whole character
        {"trailing`", "trailing", {}},
        {"Line1~Line2", "Line1\nLine2", {}},
        {"x]y}z",
         "xyz",
         {"] should be preceeded by an opening symbol.",
          "} should be preceeded by an opening symbol."}},
        {"bad \xff byte", "bad \xff byte", {}},
        {"@65@@66@", "AB", {}},
        {"@+65@", "A", {}},
        {"@233@", "é", {}},
        {"@0@", std::string(1, '\0'), {}},
        {"@256@", "", {"Invalid ascii code: \"256\""}},
        {"@-1@", "", {"Invalid ascii code: \"-1\""}},
        {"@@", "", {"Invalid ascii code: \"\""}},
        {"@99999999999999999999999@", "", {"Invalid ascii code: \"99999999999999999999999\""}},
        {"a@[CODE]@b", "aBb", {}},
        {"[ITEM[N]]", "x", {}},
        {"[@78@]", "2", {}},
        {"{HO@77@E}", "/home/kim", {}},
        {"[x}y]", "", {notDefined("x}y")}},  // } is ordinary inside [ ]
        {"{a]b}", "", {notDefined("A]B")}},  // ] is ordinary inside { }
        {"[N~`]", "", {notDefined("N~`")}},  // no escapes inside a reference
        {"[N]]", "2", {"] should be preceeded by an opening symbol."}},
        {"[[N]]", "", {notDefined("2")}},
        {"[ITEM[UNSET]]", "", {notDefined("UNSET"), notDefined("ITEM")}},
        {"[", "", {kMissingClosing}},
        {"[UNSET] then [", "", {notDefined("UNSET"), kMissingClosing}},
        {"([N", "Error", {kMissingClosing, "Expression missing ')'"}},
        {"[TIME] [DATE]", "09:07 01/02/2026", {}},
        {"[SYSDIR] [WINVER] [BUILDVER]", "/usr/bin 6.1 76", {}},
        {"[PLATFORM] [CSDVER]", "UNKNOWN #1 SMP", {}},
        {"[TOTRAM]", "8589934592", {}},  // beyond 32 bits
        {"[XEXTENT]x[YEXTENT]", "1920x1080", {}},
        {"[DISKSPACEC]", "1000", {}},
        {"[COUNT] [count] [Count]", "3 3 3", {}},
        {"[ÜBER]", "ü", {}},
        {"[Undefined]", "", {notDefined("Undefined")}},
        {"{home}", "/home/kim", {}},
        {"{straße}", "road", {}},
        {"{nope}", "", {notDefined("NOPE")}},
        {"([N]*10)", "20", {}},
        {"(1+2)~", "3", {}},       // the trailing line break is trimmed
        {" (1+2)", " (1+2)", {}},  // only a leading ( makes an expression
        {"(@50@+[ITEM[N]])", "Error", {"Invalid argument \"x\" in expression!"}},
    });
    system.platform = PlatformFamily::NT;
    variables.SetVariable("COUNT", "4");
    EXPECT_EQ(expand("[PLATFORM] [count]"), "NT 4");
}

TEST_F(Expand, DeepNestingNeitherCrashesNorRepeatsTheMessage) {
    expectAll({
        {std::string(200000, '['), "", {kMissingClosing}},
        {"(" + std::string(200000, '('), "Error", {"Expression missing ')'"}},
    });
}

TEST_F(Expand, DriveLetterSplit) {
    system.disks[U'É'] = {7, 8};
    expectAll({
        {"[DISKSPACEC]", "1000", {}},
        {"[DISKSPACEC:]", "1000", {}},
        {"[DISKSIZEC]", "5000", {}},
        {"[DISKSPACEé:]", "7", {}},
        {"[DISKSIZEÉ]", "8", {}},
        {"[DISKSPACEX]", "0", {}},  // a letter that names no drive
        {"[DISKSIZEE:]", "0", {}},
        {"[DISKSIZE:]", "", {notDefined("DISKSIZE:")}},  // drive E of "DISKSIZ"
        {"[DISKSPACE]", "", {notDefined("DISKSPACE")}},
        {"[DISKSPACEC::]", "", {notDefined("DISKSPACEC::")}},
        {"[C:]", "", {notDefined("C:")}},
    });
    EXPECT_EQ(system.drivesAsked,
              (std::vector<char32_t>{U'C', U'C', U'C', U'É', U'É', U'X', U'E'}));
}

TEST_F(Expand, OnlyTextValuesAreVisibleAndLookupValueIsUsableDirectly) {
    const std::uint8_t bytes[] = {'B', 'M', 0, 1};
    variables.ReplaceData(variables.FindOrAppend("Picture"), bytes, sizeof bytes, 8);
    variables.FindOrAppend("Empty");
    expectAll({
        {"[Picture]", "", {notDefined("Picture")}},
        {"[empty]", "", {notDefined("empty")}},
    });
    variables.SetVariable("picture", "now text");
    EXPECT_EQ(expand("[PICTURE]"), "now text");
    EXPECT_EQ(engine.LookupValue("XEXTENT"), "1920");
    EXPECT_EQ(engine.LookupValue("count"), "3");
    EXPECT_EQ(engine.LookupValue("nothing"), "");
    EXPECT_EQ(messages.texts().back(), notDefined("nothing"));
}

TEST_F(Expand, SwitchFollowsTheOptionOnlyWhenItIsExactlyOneAndLeavesTextsAsStored) {
    const std::pair<std::optional<std::uint32_t>, bool> cases[] = {
        {std::nullopt, false}, {1, true}, {2, false}};
    for (const auto& [value, on] : cases) {
        if (value) {
            ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", *value));
        }
        engine.setEnabled(!on);
        engine.loadOption(*store);
        EXPECT_EQ(engine.enabled(), on) << (value ? *value : 99);
        EXPECT_EQ(ExpansionEngine::readSwitch(*store), on);
    }
    expectAll({
        {"[DATE]~(1+1)", "[DATE]~(1+1)", {}},
        {"(1+1)", "(1+1)", {}},
        {"a``b]", "a``b]", {}},
    });
}

TEST(ProcessEnvironment, ReadsTheRealEnvironmentButNeverAPartialName) {
    ASSERT_EQ(setenv("KS_EXPAND_TEST", "value", 1), 0);
    EXPECT_EQ(processEnvironment("KS_EXPAND_TEST"), "value");
    EXPECT_EQ(processEnvironment(std::string("KS_EXPAND_TEST\0X", 16)), std::nullopt);
    EXPECT_EQ(processEnvironment("KS_EXPAND_TEST=value"), std::nullopt);
    EXPECT_EQ(processEnvironment("KS_EXPAND_TEST_UNSET"), std::nullopt);
    unsetenv("KS_EXPAND_TEST");
}

}  // namespace
}  // namespace ks::test
