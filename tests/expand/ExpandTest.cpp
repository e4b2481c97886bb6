#include <gtest/gtest.h>

#include <map>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "../store/StoreFixture.h"
#include "FakeSystemValues.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;
using namespace std::string_literals;

// An engine switched on, over a fake machine, a table with a few variables
// and a fixed environment.
class Expand : public StoreFixture {
protected:
    Expand() {
        setenv("KS_TEST_HOME", "/home/kim", 1);  // the engine reads the real environment
        setenv("KS_STRAßE", "road", 1);
        setenv("KS_EQ", "1=2", 1);
        engine.setEnabled(true);
        for (const auto& [name, value] :
             std::map<std::string, std::string>{{"N", "2"}, {"ITEM2", "x"}, {"CODE", "66"}})
            variables.SetVariable(name, value);
    }

    std::string expand(std::string text) {
        engine.Expand(text);
        return text;
    }

    // Rows of what goes in, what comes out, and the messages shown on the way, in order.
    void expectAll(const std::vector<std::tuple<std::string, std::string, Texts>>& cases) {
        for (const auto& [in, out, shown] : cases) {
            messages.clear();
            EXPECT_EQ(expand(in), out) << "expanding " << in;
            EXPECT_EQ(messages.texts(), shown) << "expanding " << in;
            for (const MessageBox& box : messages.shown) EXPECT_EQ(box.owner, MsgOwner::None);
            EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
        }
    }
    void expectQuiet(std::span<const std::pair<const char*, const char*>> values) {
        for (const auto& [in, out] : values) expectAll({{in, out, {}}});
    }

    FakeSystemValues system;
    VariableTable variables{messages};
    ExpansionEngine engine{messages, system, variables};
};

const std::string kNoOpening = " should be preceeded by an opening symbol.";
const std::string kMissingClosing =
    "Missing or mismatched number of closing  expansion symbols. i.e. ] } @\n\n"
    "To use expansion symbols as non special characters, precede them with a accent mark \"`\"";

std::string notDefined(const std::string& name) {
    return "Variable \"" + name + "\" not defined!";
}

// A missing closing symbol empties the whole argument with one message.
TEST_F(Expand, EachFormOfText) {
    variables.SetVariable("date", "mine");          // the machine's names hide variables
    variables.SetVariable("Z", "ab\0cd"s);          // text ends at its first zero byte
    const std::uint8_t bytes[] = {'B', 'M', 0, 1};  // only text values are visible
    variables.replaceData(variables.findOrAppend("Picture"), bytes, sizeof bytes, 8);
    const std::pair<const char*, const char*> quiet[] = {
        {"a``b", "a`b"}, {"`(1+2)", "(1+2)"},   {"trailing`", "trailing"}, {"@65@@66@", "AB"},
        {"@+65@", "A"},  {"@233@", "\xC3\xA9"}, {"a@[CODE]@b", "aBb"},     {"[ITEM[N]]", "x"},
        {"[@78@]", "2"}, {"[z]", "ab"},         {"([N]*10)", "20"}};
    expectQuiet(quiet);
    expectAll({
        {"Line1~Line2", "Line1\nLine2", {}},
        {"caf`é`€", "café€", {}},  // the accent takes a whole character
        {"x]y}z", "xyz", {"]" + kNoOpening, "}" + kNoOpening}},
        {"bad \xff byte", "bad \xff byte", {}},
        {"@0@", "\0"s, {}},
        {"@256@", "", {"Invalid ascii code: \"256\""}},
        {"@-1@", "", {"Invalid ascii code: \"-1\""}},
        {"@@", "", {"Invalid ascii code: \"\""}},
        {"{KS_TEST_HO@77@E}", "/home/kim", {}},
        {"[x}y]", "", {notDefined("x}y")}},  // } is ordinary inside [ ], as ] is inside { }
        {"[ITEM[UNSET]]", "", {notDefined("UNSET"), notDefined("ITEM")}},
        {"[UNSET] then [", "", {notDefined("UNSET"), kMissingClosing}},
        {"([N", "Error", {kMissingClosing, "Expression missing ')'"}},
        {"[TIME] [DATE]", "09:07 01/02/2026", {}},
        {"[SYSDIR] [WINVER] [BUILDVER]", "/usr/bin 6.1 76", {}},
        {"[TOTRAM]", "8589934592", {}},  // beyond 32 bits
        {"[PLATFORM] [CSDVER] [XEXTENT]x[YEXTENT]", "UNKNOWN #1 SMP 1920x1080", {}},
        {"[Picture]", "", {notDefined("Picture")}},
        {"{ks_straße}", "road", {}},
        // A name with "=" or a zero byte is never taken for the part before it.
        {"{KS_EQ=1}", "", {notDefined("KS_EQ=1")}},
        {"{KS_TEST_HOME\0X}"s, "", {notDefined("KS_TEST_HOME\0X"s)}},
        {"(1+2)~", "3", {}},       // the trailing line break is trimmed
        {" (1+2)", " (1+2)", {}},  // only a leading ( makes an expression
    });
    system.platform = PlatformFamily::NT;
    EXPECT_EQ(expand("[PLATFORM]"), "NT");
}

TEST_F(Expand, DriveLetterSplit) {
    system.disks[U'É'] = {7, 8};
    // X and E name no drive.
    const std::pair<const char*, const char*> sizes[] = {
        {"[DISKSPACEC:]", "1000"}, {"[DISKSIZEC]", "5000"}, {"[DISKSPACEé:]", "7"},
        {"[DISKSIZEÉ]", "8"},      {"[DISKSPACEX]", "0"},   {"[DISKSIZEE:]", "0"}};
    expectQuiet(sizes);
    expectAll({
        {"[DISKSIZE:]", "", {notDefined("DISKSIZE:")}},  // drive E of "DISKSIZ"
        {"[DISKSPACE]", "", {notDefined("DISKSPACE")}},
        {"[DISKSPACEC::]", "", {notDefined("DISKSPACEC::")}},
        {"[C:]", "", {notDefined("C:")}},
    });
    EXPECT_EQ(system.drivesAsked, (std::vector<char32_t>{U'C', U'C', U'É', U'É', U'X', U'E'}));
}

// Which values of the option count as on is the store's rule.
TEST_F(Expand, SwitchFollowsTheOptionAndOffLeavesTextsAsStored) {
    ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", 1));
    engine.setEnabled(false);
    engine.loadOption(*store);
    EXPECT_EQ(expand("[N]"), "2");
    ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", 0));
    engine.loadOption(*store);
    expectAll({{"(1+1)[DATE]~a``b]", "(1+1)[DATE]~a``b]", {}}});
}

TEST_F(Expand, ArithmeticAndEveryMessage) {
    const std::pair<const char*, const char*> values[] = {
        {"(1+2*3)", "7"},   {"(10-4-3)", "3"},     {"(20/2/5)", "2"},        {"(1-(2-3))", "2"},
        {"( 1 + 2 )", "3"}, {"(--5)", "5"},        {"(-+5)", "-5"},          {"(2*-3)", "-6"},
        {"(-(2+3))", "-5"}, {"(-7/2)", "-3"},      {"(-7%3)", "-1"},         {"(2.5*2)", "4"},
        {"(.5+1)", "1"},    {"(4294967297)", "1"}, {"(-2147483648%-1)", "0"}};
    expectQuiet(values);
    expectAll({
        {"(0*5/0+1/0)", "Error", {"Divide by 0!"}},  // one message for both
        {"(2147483647+1)", "-2147483648", {}},
        {"(-2147483648/-1)", "-2147483648", {}},
        {"(1+2)*3", "Error", {"Invalid number of matching () in expression!"}},
        {"(1 2)", "Error", {"Invalid operator: \"2\""}},
        {"(1(2))", "Error", {"Invalid operator: \"(\""}},
        {"(1+)", "Error", {"Missing argument!"}},
        // Only blanks part tokens; one message comes from the innermost level.
        {"(1\t+2)", "Error", {"Invalid argument \"1\t\" in expression!"}},
        {"(1+(2+x))", "Error", {"Invalid argument \"x\" in expression!"}},
        {std::string(200000, '['), "", {kMissingClosing}},  // deep nesting crashes nothing
        {"(" + std::string(200000, '('), "Error", {"Expression missing ')'"}},
    });
}

// Names compare as the store compares them (each character upper-cased on its own); insertion
// order, the latest spelling and the text's terminating zero.
TEST(VariableTableTest, ManyNamesStayFoundInOrder) {
    RecordingMessages messages;
    VariableTable table{messages};
    table.SetVariable("Älpha", "1");
    table.SetVariable("beta", "2");
    table.SetVariable("ÄLPHA", "333");
    EXPECT_EQ(table.at(0).name + " " + table.at(1).name, "ÄLPHA beta");
    EXPECT_EQ(table.at(0).data, (std::vector<std::uint8_t>{'3', '3', '3', 0}));
    EXPECT_TRUE(messages.shown.empty());
    table.remove({"älpha", "BETA"});
    constexpr int kCount = 20000;
    for (int i = 0; i < kCount; ++i) table.SetVariable("v" + std::to_string(i), std::to_string(i));
    for (int i = kCount - 1; i >= 0; i -= 7) table.SetVariable("V" + std::to_string(i), "again");
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(table.find("V" + std::to_string(i)), static_cast<std::size_t>(i));
    EXPECT_EQ(table.textValue("v1"), "1");
}

}  // namespace
}  // namespace ks::test
