#include <gtest/gtest.h>

#include <map>

#include "CommandFixture.h"
#include "FakeSystemValues.h"
#include "text/TextCommands.h"
#include "text/TextRules.h"

namespace ks::test {
namespace {

constexpr const char* kRetrieveError = "Error retrieving data from Clip Board!";

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A clipboard that offers formats in a given order and records what it is given.
class FakeClipboard final : public Clipboard {
public:
    std::optional<std::vector<std::uint32_t>> formats() override {
        if (!reachable) return std::nullopt;
        std::vector<std::uint32_t> order;
        for (const auto& [format, bytes] : offered) order.push_back(format);
        return order;
    }
    std::optional<Bytes> data(std::uint32_t format) override {
        for (const auto& [offeredFormat, bytes] : offered) {
            if (offeredFormat == format) return bytes;
        }
        return std::nullopt;
    }
    bool clear() override {
        offered.clear();
        return clearable;
    }
    bool offer(std::uint32_t format, const Bytes& bytes) override {
        offered.assign({{format, bytes}});
        return acceptable;
    }

    std::vector<std::pair<std::uint32_t, Bytes>> offered;
    bool reachable = true;
    bool clearable = true;
    bool acceptable = true;
};

class TextCommandsTest : public CommandFixture {
protected:
    TextCommandsTest() { expansion.setEnabled(true); }

    void run(CommandId id, const std::map<std::string, std::string>& values) {
        for (const auto& [name, text] : values) writeText(name.c_str(), text);
        commands.run(id, kCommand);
    }
    std::optional<std::string> text(std::string_view name) { return variables.TextValue(name); }
    const Variable& variable(std::string_view name) { return variables.at(*variables.Find(name)); }

    FakeSystemValues system;
    VariableTable variables{messages};
    ExpansionEngine expansion{messages, system, variables};
    FakeClipboard clipboard;
    TextCommands commands{*store, messages, expansion, variables, clipboard};
};

TEST(TextRulesTest, SplitsAtEveryDelimiter) {
    using Pieces = std::vector<std::string_view>;
    const struct {
        std::string_view text, delimiter;
        Pieces pieces;
    } cases[] = {
        {"a,,b,", ",", {"a", "", "b"}}, {",a,", ",", {"", "a"}},
        {"x, y", ", ", {"x", "y"}},     {"a<>b<>>c", "<>", {"a", "b", ">c"}},
        {"abc", ";", {"abc"}},          {"", ",", {}},
        {"a,b", "", {"a,b"}},           {"", "", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitPieces(c.text, c.delimiter), c.pieces) << c.text << " by " << c.delimiter;
    }
}

TEST(TextRulesTest, TrimsUnicodeWhiteSpaceAndKeepsForeignBytes) {
    const struct {
        std::string_view text, left, right, both;
    } cases[] = {
        {"  a b  ", "a b  ", "  a b", "a b"},
        {"\t\n\v\f\r a \r\n", "a \r\n", "\t\n\v\f\r a", "a"},
        {"\u00A0é\u2003", "é\u2003", "\u00A0é", "é"},
        {" \xFF ", "\xFF ", " \xFF", "\xFF"},
        {"   ", "", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimLeft(c.text), c.left) << c.text;
        EXPECT_EQ(trimRight(c.text), c.right) << c.text;
        EXPECT_EQ(trim(c.text), c.both) << c.text;
    }
}

TEST(TextRulesTest, ReplacesWithoutRescanning) {
    EXPECT_EQ(replaceAll("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(replaceAll("abcabc", "b", "bb"), "abbcabbc");
    EXPECT_EQ(replaceAll("Abc", "a", "x"), "Abc");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(replaceAll("ünï ünï", "ünï", ""), " ");
}

TEST_F(TextCommandsTest, CopyTakesTheFirstTextOrBitmapAndKeepsOtherKindsOtherwise) {
    variables.SetVariable("old", "kept");
    const struct {
        std::vector<std::pair<std::uint32_t, Bytes>> offered;
        std::uint32_t format;
        Bytes data;
    } cases[] = {
        {{}, kClipboardText, bytesOf(std::string_view("kept", 5))},
        {{{0xC000, bytesOf("<b>")}, {kClipboardText, bytesOf("héllo")}},
         kClipboardText,
         bytesOf(std::string_view("héllo", 7))},
        {{{kClipboardBitmap, {1, 2}}, {kClipboardText, bytesOf("t")}}, kClipboardBitmap, {1, 2}},
        {{{0xC001, bytesOf("file:///x")}}, 0xC001, bytesOf("file:///x")},
    };
    for (const auto& c : cases) {
        clipboard.offered = c.offered;
        run(kCopyFromClipBoard, {{"BufName", "old"}});
        EXPECT_EQ(variable("old").format, c.format);
        EXPECT_EQ(variable("old").data, c.data);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TextCommandsTest, ABitmapIsNoTextButPastesBack) {
    clipboard.offered = {{kClipboardBitmap, {1, 2, 3}}};
    run(kCopyFromClipBoard, {{"BufName", "img"}});
    run(kSetVariable, {{"Name", "t"}, {"Value", "[img]"}});
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Variable \"img\" not defined!"});
    clipboard.offered.clear();
    run(kPasteToClipBoard, {});
    ASSERT_EQ(clipboard.offered.size(), 1u);
    EXPECT_EQ(clipboard.offered[0].first, kClipboardBitmap);
    EXPECT_EQ(clipboard.offered[0].second, (Bytes{1, 2, 3}));
}

TEST_F(TextCommandsTest, PasteOfANewNameKeepsItsDefaultTextForLaterPastes) {
    run(kPasteToClipBoard, {{"BufName", "new"}, {"DefPasteString", "[not expanded]"}});
    run(kPasteToClipBoard, {{"DefPasteString", "changed"}});
    ASSERT_EQ(clipboard.offered.size(), 1u);
    EXPECT_EQ(clipboard.offered[0].first, kClipboardText);
    EXPECT_EQ(clipboard.offered[0].second, bytesOf("[not expanded]"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TextCommandsTest, ClipboardFailuresAreShownAndTheMacroGoesOn) {
    const struct {
        CommandId command;
        bool reachable, clearable, acceptable;
        std::string message, title;
        MsgIcon icon;
    } cases[] = {
        {kCopyFromClipBoard, false, true, true, kRetrieveError, "Keystrider", MsgIcon::Exclamation},
        {kParseClipBoard, false, true, true, kRetrieveError, "Keystrider", MsgIcon::Exclamation},
        {kParseClipBoard, true, true, true, kRetrieveError, "Keystrider", MsgIcon::Exclamation},
        {kPasteToClipBoard, true, false, true, "Error removing previous contents of Clip Board!",
         "Keystrider", MsgIcon::Exclamation},
        {kPasteToClipBoard, true, true, false, "Error copying data to Clip Board!",
         "Keystrider - Error", MsgIcon::Stop},
    };
    writeText("BufName", "b");
    writeText("Delimiter", ",");
    variables.SetVariable("b", "x");
    for (const auto& c : cases) {
        messages.clear();
        clipboard.offered = {{kClipboardBitmap, {1}}};
        clipboard.reachable = c.reachable;
        clipboard.clearable = c.clearable;
        clipboard.acceptable = c.acceptable;
        commands.run(c.command, kCommand);
        ASSERT_EQ(messages.shown.size(), 1u) << c.message;
        EXPECT_EQ(messages.shown[0].text, c.message);
        EXPECT_EQ(messages.shown[0].title, c.title);
        EXPECT_EQ(messages.shown[0].icon, c.icon);
    }
}

TEST_F(TextCommandsTest, ParseNumbersThePiecesAndLeavesHigherNumbersAlone) {
    variables.SetVariable("3", "old");
    clipboard.offered = {{kClipboardText, bytesOf("a,,b,")}};
    run(kParseClipBoard, {{"Delimiter", ","}});
    EXPECT_EQ(text("0"), "a");
    EXPECT_EQ(text("1"), "");
    EXPECT_EQ(text("2"), "b");
    EXPECT_EQ(text("3"), "old");
    variables.SetVariable("none", "");
    run(kParseClipBoard, {{"Delimiter", "[none]"}});
    EXPECT_EQ(text("0"), "a,,b,");
}

TEST_F(TextCommandsTest, TransformsTheNamedVariable) {
    const struct {
        CommandId command;
        std::string before, after;
    } cases[] = {
        {kMakeUpperCase, "abc éñ ß", "ABC ÉÑ ß"}, {kMakeLowerCase, "ÀBÇ Σ", "àbç σ"},
        {kLeftTrimWhiteSpace, " \u00A0a ", "a "}, {kRightTrimWhiteSpace, " a \t", " a"},
        {kTrimWhiteSpace, "  a b  ", "a b"},
    };
    for (const auto& c : cases) {
        variables.SetVariable("v", c.before);
        run(c.command, {{"VarName", "v"}});
        EXPECT_EQ(text("v"), c.after) << c.before;
    }
    run(kMakeUpperCase, {{"VarName", "undefined"}});
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Variable \"undefined\" not defined!"});
    EXPECT_EQ(text("undefined"), "");
}

TEST_F(TextCommandsTest, ReplaceStringReadsItsValuesInItsOwnOrder) {
    variables.SetVariable("v", "aaaa");
    run(kReplaceString, {{"VarName", "v"}, {"ReplaceWith", "a"}});
    EXPECT_EQ(text("v"), "aaaa") << "no SearchFor: nothing is replaced";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("SearchFor"), std::string::npos);
    run(kReplaceString, {{"SearchFor", "aa"}});
    EXPECT_EQ(text("v"), "aa");
}

}  // namespace
}  // namespace ks::test
