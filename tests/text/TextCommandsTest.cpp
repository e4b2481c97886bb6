#include <gtest/gtest.h>

#include "FakeClipboard.h"
#include "text/TextFixture.h"

namespace ks::test {
namespace {

constexpr const char* kRetrieveError = "Error retrieving data from Clip Board!";

using TextCommandsTest = TextFixture<FakeClipboard>;

TEST_F(TextCommandsTest, CopyTakesTheFirstTextOrBitmapAndKeepsOtherKindsOtherwise) {
    variables.SetVariable("old", "kept");
    // What the clipboard offers, and the format and data copied.
    const std::tuple<std::vector<std::pair<std::uint32_t, Bytes>>, std::uint32_t, Bytes> cases[] = {
        {{}, kClipboardText, bytesOf(std::string_view("kept", 5))},
        {{{0xC000, bytesOf("<b>")}, {kClipboardText, bytesOf("héllo")}},
         kClipboardText,
         bytesOf(std::string_view("héllo", 7))},
        {{{kClipboardBitmap, {1, 2}}, {kClipboardText, bytesOf("t")}}, kClipboardBitmap, {1, 2}},
        {{{0xC001, bytesOf("file:///x")}}, 0xC001, bytesOf("file:///x")},
    };
    for (const auto& [offered, format, data] : cases) {
        clipboard.offered = offered;
        run(kCopyFromClipBoard, {{"BufName", "old"}});
        const Variable& copied = variables.at(*variables.find("old"));
        EXPECT_EQ(std::pair(copied.format, copied.data), std::pair(format, data));
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TextCommandsTest, ClipboardFailuresAreShownAndTheMacroGoesOn) {
    using Fault = FakeClipboard::Fault;
    const std::tuple<CommandId, Fault, std::string, std::string, MsgIcon> cases[] = {
        {kCopyFromClipBoard, Fault::Unreachable, kRetrieveError, "Keystrider",
         MsgIcon::Exclamation},
        {kParseClipBoard, Fault::None, kRetrieveError, "Keystrider", MsgIcon::Exclamation},
        {kPasteToClipBoard, Fault::Unclearable, "Error removing previous contents of Clip Board!",
         "Keystrider", MsgIcon::Exclamation},
        {kPasteToClipBoard, Fault::Refusing, "Error copying data to Clip Board!",
         "Keystrider - Error", MsgIcon::Stop},
    };
    writeText("BufName", "b");
    writeText("Delimiter", ",");
    variables.SetVariable("b", "x");
    for (const auto& [command, fault, text, title, icon] : cases) {
        messages.clear();
        clipboard.offered = {{kClipboardBitmap, {1}}};  // no text to parse
        clipboard.fault = fault;
        run(command);
        ASSERT_EQ(messages.shown.size(), 1u) << text;
        EXPECT_EQ(boxFields(messages.shown[0]), boxFields({text, title, icon}));
    }
}

TEST_F(TextCommandsTest, TransformsTheNamedVariable) {
    // The command, the text before and after, and what REPLACE STRING searches for and puts in.
    const std::tuple<CommandId, std::string, std::string, std::string, std::string> cases[] = {
        {kMakeUpperCase, "abc éñ ß", "ABC ÉÑ ß", "", ""},
        {kMakeLowerCase, "ÀBÇ Σ", "àbç σ", "", ""},
        {kLeftTrimWhiteSpace, "\t\n\v\f\r \u00A0a ", "a ", "", ""},
        {kRightTrimWhiteSpace, " a \u2003\r\n", " a", "", ""},
        {kTrimWhiteSpace, "  a b  ", "a b", "", ""},
        {kTrimWhiteSpace, " \xFF ", "\xFF", "", ""},
        {kTrimWhiteSpace, " \u00A0 ", "", "", ""},
        {kReplaceString, "aaaa", "aa", "aa", "a"},  // what is put in is not searched again
        {kReplaceString, "aa", "aa", "", "b"},
    };
    for (const auto& [command, before, after, search, with] : cases) {
        variables.SetVariable("v", before);
        run(command, {{"VarName", "v"}, {"SearchFor", search}, {"ReplaceWith", with}});
        EXPECT_EQ(variables.textValue("v"), after) << before;
    }
    EXPECT_TRUE(messages.shown.empty());
    run(kMakeUpperCase, {{"VarName", "undefined"}});
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Variable \"undefined\" not defined!"});
    EXPECT_EQ(variables.textValue("undefined"), "");
}

// PARSE numbers the pieces; a name PASTE never saw keeps the default text it was first given.
TEST_F(TextCommandsTest, ParseNumbersThePiecesAndPasteKeepsTheFirstDefault) {
    variables.SetVariable("none", "");
    const std::tuple<std::string, std::string, std::vector<std::string>> cases[] = {
        {"a,,b,", ",", {"a", "", "b"}},
        {",a,", ",", {"", "a", "b"}},  // "2" keeps the earlier piece
        {"ä::b::::c::", "::", {"ä", "b", "", "c"}},
        {"x, y", "[none]", {"x, y", "b", "", "c"}},
    };
    for (const auto& [text, delimiter, pieces] : cases) {
        clipboard.offered = {{kClipboardText, bytesOf(text)}};
        run(kParseClipBoard, {{"Delimiter", delimiter}});
        for (std::size_t i = 0; i < pieces.size(); ++i)
            EXPECT_EQ(variables.textValue(std::to_string(i)), pieces[i]) << text << i;
    }
    run(kPasteToClipBoard, {{"BufName", "never used"}, {"DefPasteString", "fällt [zurück]"}});
    run(kPasteToClipBoard, {{"DefPasteString", "changed"}});
    EXPECT_EQ(clipboard.offered.at(0).second, bytesOf("fällt [zurück]"));
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace ks::test
