#include <gtest/gtest.h>

#include "FakeClipboard.h"
#include "text/TextFixture.h"

namespace ks::test {
namespace {

constexpr const char* kRetrieveError = "Error retrieving data from Clip Board!";

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

using TextCommandsTest = TextFixture<FakeClipboard>;

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
        const Variable& copied = variables.at(*variables.find("old"));
        EXPECT_EQ(std::pair(copied.format, copied.data), std::pair(c.format, c.data));
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TextCommandsTest, ClipboardFailuresAreShownAndTheMacroGoesOn) {
    using Fault = FakeClipboard::Fault;
    const struct {
        CommandId command;
        Fault fault;
        std::string text, title;
        MsgIcon icon;
    } cases[] = {
        {kCopyFromClipBoard, Fault::Unreachable, kRetrieveError, "Keystrider",
         MsgIcon::Exclamation},
        {kParseClipBoard, Fault::Unreachable, kRetrieveError, "Keystrider", MsgIcon::Exclamation},
        {kParseClipBoard, Fault::None, kRetrieveError, "Keystrider", MsgIcon::Exclamation},
        {kPasteToClipBoard, Fault::Unclearable, "Error removing previous contents of Clip Board!",
         "Keystrider", MsgIcon::Exclamation},
        {kPasteToClipBoard, Fault::Refusing, "Error copying data to Clip Board!",
         "Keystrider - Error", MsgIcon::Stop},
    };
    writeText("BufName", "b");
    writeText("Delimiter", ",");
    variables.SetVariable("b", "x");
    for (const auto& c : cases) {
        messages.clear();
        clipboard.offered = {{kClipboardBitmap, {1}}};  // no text to parse
        clipboard.fault = c.fault;
        run(c.command);
        ASSERT_EQ(messages.shown.size(), 1u) << c.text;
        EXPECT_EQ(boxFields(messages.shown[0]), boxFields({c.text, c.title, c.icon}));
    }
}

TEST_F(TextCommandsTest, TransformsTheNamedVariable) {
    const struct {
        CommandId command;
        std::string before, after, search = "", with = "";
    } cases[] = {
        {kMakeUpperCase, "abc éñ ß", "ABC ÉÑ ß"},
        {kMakeLowerCase, "ÀBÇ Σ", "àbç σ"},
        {kLeftTrimWhiteSpace, "\t\n\v\f\r \u00A0a ", "a "},
        {kRightTrimWhiteSpace, " a \u2003\r\n", " a"},
        {kTrimWhiteSpace, "  a b  ", "a b"},
        {kTrimWhiteSpace, " \xFF ", "\xFF"},
        {kTrimWhiteSpace, " \u00A0 ", ""},
        {kReplaceString, "aaaa", "aa", "aa", "a"},  // what is put in is not searched again
        {kReplaceString, "aa", "aa", "", "b"},
    };
    for (const auto& c : cases) {
        variables.SetVariable("v", c.before);
        run(c.command, {{"VarName", "v"}, {"SearchFor", c.search}, {"ReplaceWith", c.with}});
        EXPECT_EQ(variables.textValue("v"), c.after) << c.before;
    }
    EXPECT_TRUE(messages.shown.empty());
    run(kMakeUpperCase, {{"VarName", "undefined"}});
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Variable \"undefined\" not defined!"});
    EXPECT_EQ(variables.textValue("undefined"), "");
}

}  // namespace
}  // namespace ks::test
