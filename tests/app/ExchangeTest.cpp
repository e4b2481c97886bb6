#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>

#include "AppFixture.h"
#include "app/MainWindow.h"
#include "interchange/ExchangeDialogs.h"

namespace ks::test {
namespace {

using ExchangeTest = AppFixture;

// OK keeps the file dialog open until an option is chosen and a path given.
TEST_F(ExchangeTest, PathDialogNeedsTheOptionAndAPath) {
    using enum ExchangeDirection;
    // direction, option chosen, path, message (null: accepted)
    const std::tuple<ExchangeDirection, bool, const char*, const char*> cases[] = {
        {Export, false, "x.xml", "Must select an export option."},
        {Import, false, "x.xml", "Must select an import option."},
        {Export, true, "   ", "Path and File Name: can not be empty."},
        {Import, true, " x.xml ", nullptr},
    };
    for (const auto& [direction, checked, path, message] : cases) {
        messages.clear();
        ExchangePathDialog dialog(nullptr, messages, direction, ExportKind::Recordings);
        dialog.fileBox()->setChecked(checked);
        dialog.pathField()->setText(QString::fromLatin1(path));
        dialog.accept();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, message == nullptr) << path;
        EXPECT_EQ(messages.texts(), message ? Texts{message} : Texts{});
        EXPECT_EQ(dialog.path(), message ? dialog.path() : "x.xml");
    }
    ExchangePathDialog titled(nullptr, messages, Import, ExportKind::Macros);
    EXPECT_EQ(titled.windowTitle(), "Keystrider - Import Macros From:");
}

// A posted document joins the lists and registers its hot key, and what
// a peer causes (a bad import, a failed push) is handed back, not shown;
// nothing selected is reported before any dialog opens.
TEST_F(ExchangeTest, PostedDocumentsJoinTheListsAndEmptySelectionsAreRefused) {
    load("[Macros\\Old]\n\"vk\"=dword:41\n\"fsModifiers\"=dword:2");
    MainWindow window(makeShell());
    ASSERT_TRUE(window.initialise());
    XmlError error;
    const auto document = XmlDocument::parse(
        "<KEYSTRIDER ID='1003'><MACROS><MACRO Name='old'><vk>66</vk><fsModifiers>2</fsModifiers>"
        "</MACRO><MACRO Name='Clash'><vk>65</vk><fsModifiers>2</fsModifiers><COMMANDS><INS0/>"
        "</COMMANDS></MACRO></MACROS>"
        "<RECORDINGS><RECORDING Name='R'><Type>3</Type></RECORDING></RECORDINGS></KEYSTRIDER>",
        error);
    ASSERT_TRUE(document);
    EXPECT_EQ(window.importPosted(*document),
              Texts{"Unable to determine command in Macro:Clash\n\nBad XML document"});
    EXPECT_EQ(columnTexts(window.macroList(), 0), (Texts{"Old", "old1", "Clash"}));
    EXPECT_EQ(columnTexts(window.recordingList(), 1), Texts{"Mouse"});
    EXPECT_EQ(hotKeys.calls.back(), "register 1 2 66");
    EXPECT_EQ(window.pushAll(ExportKind::Macros, "127.0.0.1", "1"),
              Texts{"Error sending request."});
    EXPECT_TRUE(messages.shown.empty());

    window.exportSelected(ExportKind::Macros);
    window.exportSelected(ExportKind::Recordings);
    EXPECT_EQ(messages.texts(), (Texts{"No macros selected.", "No recordings selected."}));
    EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));
}

}  // namespace
}  // namespace ks::test
