#include <gtest/gtest.h>

#include "ExpandFixture.h"
#include "TempDir.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

using Expand = ExpandFixture;

// Escapes, line breaks, character codes, nested references and a missing
// closing symbol (which empties the whole argument with one message).
TEST_F(Expand, EachFormOfText) {
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
        {"ünï[N]cödé", "ünï2cödé", {}},
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
        {"@65", "", {kMissingClosing}},
        {"[N]text[ITEM[N]", "", {kMissingClosing}},
        {"[UNSET] then [", "", {notDefined("UNSET"), kMissingClosing}},
        {"([N", "Error", {kMissingClosing, "Expression missing ')'"}},
    });
}

TEST_F(Expand, DeepNestingNeitherCrashesNorRepeatsTheMessage) {
    expectAll({
        {std::string(200000, '['), "", {kMissingClosing}},
    });
    messages.clear();
    EXPECT_EQ(expand("(" + std::string(200000, '(')), "Error");
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Expression missing ')'"});
}

TEST_F(Expand, SystemNames) {
    expectAll({
        {"[DATE]", "12/05/2026", {}},
        {"[TIME]", "21:05", {}},
        {"[SYSDIR]", "/usr/bin", {}},
        {"[WINVER]", "6.1", {}},
        {"[BUILDVER]", "76", {}},
        {"[PLATFORM]", "UNKNOWN", {}},
        {"[TOTRAM]", "8589934592", {}},  // beyond 32 bits
        {"[CSDVER]", "#1 SMP", {}},
        {"[XEXTENT]x[YEXTENT]", "1920x1080", {}},
    });
    system.now.tm_hour = 9;
    system.now.tm_min = 7;
    system.now.tm_mon = 0;
    system.now.tm_mday = 2;
    system.service.clear();
    system.screenSize = {};
    system.osVersion = {10, 0, 19045};
    expectAll({
        {"[TIME] [DATE]", "09:07 01/02/2026", {}},
        {"[CSDVER]", "", {}},
        {"[XEXTENT],[YEXTENT]", "0,0", {}},
        {"[WINVER].[BUILDVER]", "10.0.19045", {}},
    });
}

TEST_F(Expand, PlatformNames) {
    system.platform = PlatformFamily::NT;
    EXPECT_EQ(expand("[PLATFORM]"), "NT");
}

TEST_F(Expand, SystemNamesHideVariablesOfTheSameName) {
    variables.SetVariable("date", "mine");
    variables.SetVariable("DISKSPACEC", "mine");
    expectAll({
        {"[DATE]", "12/05/2026", {}},
        {"[DISKSPACEC]", "1000", {}},
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

TEST_F(Expand, VariablesIgnoreCase) {
    expectAll({
        {"[COUNT] [count] [Count]", "3 3 3", {}},
        {"[ÜBER]", "ü", {}},
        {"[Undefined]", "", {notDefined("Undefined")}},
        {"{home}", "/home/kim", {}},
        {"{straße}", "road", {}},
        {"{nope}", "", {notDefined("NOPE")}},
    });
    variables.SetVariable("COUNT", "4");
    EXPECT_EQ(expand("[count]"), "4");
}

TEST_F(Expand, ExpressionsAfterReferences) {
    expectAll({
        {"(1+2*3)", "7", {}},
        {"([N]*10)", "20", {}},
        {"(1+2)~", "3", {}},       // the trailing line break is trimmed
        {" (1+2)", " (1+2)", {}},  // only a leading ( makes an expression
        {"(", "Error", {"Expression missing ')'"}},
        {"(@50@+[ITEM[N]])", "Error", {"Invalid argument \"x\" in expression!"}},
    });
}

TEST_F(Expand, SwitchOffLeavesTextsAsStored) {
    engine.setEnabled(false);
    expectAll({
        {"[DATE]~(1+1)", "[DATE]~(1+1)", {}},
        {"(1+1)", "(1+1)", {}},
        {"a``b]", "a``b]", {}},
    });
}

TEST_F(Expand, LookupValueIsUsableDirectly) {
    EXPECT_EQ(engine.LookupValue("XEXTENT"), "1920");
    EXPECT_EQ(engine.LookupValue("count"), "3");
    EXPECT_EQ(engine.LookupValue("nothing"), "");
    EXPECT_EQ(messages.texts(), std::vector<std::string>{notDefined("nothing")});
}

TEST_F(Expand, OnlyTextValuesAreVisible) {
    const std::size_t picture = variables.FindOrAppend("Picture");
    const std::uint8_t bytes[] = {'B', 'M', 0, 1};
    variables.ReplaceData(picture, bytes, sizeof bytes, 8);
    variables.FindOrAppend("Empty");
    expectAll({
        {"[Picture]", "", {notDefined("Picture")}},
        {"[empty]", "", {notDefined("empty")}},
    });
    variables.SetVariable("picture", "now text");
    EXPECT_EQ(expand("[PICTURE]"), "now text");
}

TEST(ExpansionSwitch, FollowsTheOptionOnlyWhenItIsExactlyOne) {
    TempDir dir;
    RecordingMessages messages;
    KeyTree tree(dir.file("store.db"));
    SettingsStore store(tree, messages);
    FakeSystemValues system;
    VariableTable variables(messages);
    ExpansionEngine engine(messages, system, variables);
    const std::pair<std::optional<std::uint32_t>, bool> cases[] = {
        {std::nullopt, false}, {1, true}, {2, false}};
    for (const auto& [value, on] : cases) {
        if (value) {
            ASSERT_TRUE(store.SetDword(kDirectRoot, "ExpansionOn", *value));
        }
        engine.setEnabled(!on);
        engine.loadOption(store);
        EXPECT_EQ(engine.enabled(), on) << (value ? *value : 99);
        EXPECT_EQ(ExpansionEngine::readSwitch(store), on);
    }
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
