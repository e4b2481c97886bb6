#include "editors/MacroEditor.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include "EditorDesktop.h"
#include "FakeClock.h"
#include "MapTriggerOwners.h"
#include "RecordingMessages.h"
#include "TempDir.h"
#include "commands/CommandTable.h"
#include "core/CommandId.h"
#include "keys/KeyNames.h"
#include "store/KeyTree.h"

namespace ks::test {
namespace {

// Notes what the editor tells the program; the hot key K is taken; keys have US names.
class MacroEditorTest : public ::testing::Test, public MacroEditorSite {
public:
    std::shared_ptr<const KeyLayout> keyLayout() override { return nullptr; }
    std::string hotKeyText(std::uint32_t vk, std::uint32_t) override { return std::to_string(vk); }
    void suspendHotKeys(bool on) override { suspensions += on ? "S" : "R"; }
    std::optional<std::string> hotKeyTaken(std::uint32_t vk, std::uint32_t,
                                           const std::string&) override {
        return vk == 75 ? std::optional<std::string>("taken") : std::nullopt;
    }
    std::int32_t nextHotKeyId() override { return ++ids; }
    bool phrasesOn() override { return true; }
    bool serverOn() override { return true; }
    bool expansionOn() override { return expansion; }
    void committed(const MacroDocument& m, const std::string& replaced) override {
        commits.push_back(m.name + "<" + replaced);
    }
    void showScheduleHelp() override {}

protected:
    std::unique_ptr<MacroEditor> open(const std::string& name) {
        return std::make_unique<MacroEditor>(
            MacroEditorServices{tree, messages, clock, *this, owners, keyNames, copied,
                                desktop.hooks()},
            name);
    }
    // Adds command `id` from its category's list, typing `value` into the
    // first field of its parameter dialog.
    void add(MacroEditor& editor, CommandId id, const QString& value) {
        editor.categoryBox()->setCurrentIndex(static_cast<int>(*commandCategory(id)));
        const QString text = QString::fromUtf8(commandName(id).data());
        QListWidget* list = editor.commandList();
        list->setCurrentItem(list->findItems(text, Qt::MatchExactly).at(0));
        QTimer::singleShot(0, [value] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            if (auto* line = dialog->findChild<QLineEdit*>()) line->setText(value);
            if (auto* lines = dialog->findChild<QPlainTextEdit*>()) lines->setPlainText(value);
            dialog->accept();
        });
        editor.addChosenCommand();
    }
    std::vector<std::string> rows(MacroEditor& editor) {
        std::vector<std::string> out;
        for (int i = 0; i < editor.bodyList()->count(); ++i)
            out.push_back(editor.bodyList()->item(i)->text().toStdString());
        return out;
    }

    TempDir dir;
    KeyTree tree{dir.file("store.db")};
    RecordingMessages messages;
    FakeClock clock;
    MapTriggerOwners owners;
    EditorDesktop desktop;
    KeymapKeyNames keyNames{desktop.keymap};
    std::vector<CommandRecord> copied;
    int ids = 0;
    std::vector<std::string> commits;
    std::string suspensions;
    bool expansion = false;
};

// Keys show the key table's names; a category's list starts at its top; the hot key field
// suspends the hot keys while focused and hands Escape on; the hint names what expansion leaves.
TEST_F(MacroEditorTest, KeysCategoriesHotKeyFieldAndExpansionHint) {
    auto editor = open("");
    QStringList keys;
    for (const QToolButton* key : editor->findChildren<QToolButton*>()) keys << key->text();
    EXPECT_EQ(keys.filter(QRegularExpression("^(7&&|[LR](SHIFT|CTRL|ALT))$")).size(), 7);
    EXPECT_FALSE(keys.contains(""));
    editor->commandList()->setFixedHeight(60);
    editor->show();
    editor->categoryBox()->setCurrentIndex(static_cast<int>(*commandCategory(kRun)));
    editor->commandList()->scrollToBottom();
    editor->categoryBox()->setCurrentIndex(static_cast<int>(*commandCategory(kSendKeys)));
    EXPECT_EQ(editor->commandList()->verticalScrollBar()->value(), 0);

    editor->activateWindow();
    QApplication::processEvents();
    editor->hotKeyField()->setFocus();
    editor->nameField()->setFocus();
    add(*editor, kSendKeys, "Hello [greeting]");
    EXPECT_TRUE(editor->expansionHint()->text().contains("[greeting]"));
    expansion = true;
    editor->bodyList()->item(0)->setSelected(true);
    EXPECT_FALSE(editor->expansionHint()->isVisibleTo(editor.get()));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    messages.answers = {MsgAnswer::Yes};
    QApplication::sendEvent(editor->hotKeyField(), &escape);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(suspensions, "SR");
}

TEST_F(MacroEditorTest, BuildsSavesAndRewritesAMacro) {
    auto editor = open("");
    editor->nameField()->setText("Greet");
    add(*editor, kDelay, " 500 ");
    editor->addKeystroke(0x41);  // down and up
    editor->bodyList()->item(0)->setSelected(true);
    add(*editor, kSendKeys, "hi");  // before the selected DELAY
    EXPECT_EQ(rows(*editor), (std::vector<std::string>{"SEND KEYS \"hi\"", "DELAY 500 ms",
                                                       "aA (Down)", "aA (Up)"}));
    ASSERT_TRUE(editor->save());
    EXPECT_EQ(readMacro(tree, "Greet")->commands, editor->body().commands());

    // Reopened, a row deleted and saved: the save replaces the macro it opened.
    editor = open("Greet");
    editor->bodyList()->item(0)->setSelected(true);
    editor->deleteSelected();
    ASSERT_TRUE(editor->save());
    EXPECT_EQ(commits, (std::vector<std::string>{"Greet<", "Greet<Greet"}));
    EXPECT_EQ(readMacro(tree, "Greet")->hotKeyId, 2u);

    // A taken hot key is told at once; a new macro of a taken name is refused;
    // Cancel after a change asks first.
    editor = open("");
    editor->nameField()->setText("greet");
    editor->hotKeyField()->setHotKey(75, 3);
    EXPECT_FALSE(editor->save());
    messages.answers = {MsgAnswer::No};
    editor->show();
    editor->reject();
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Are you sure you want to delete the selected command(s)?",
                                        "taken", "Macro already exists with this name: greet",
                                        "Any changes to this macro will be lost if you "
                                        "continue.\n\nDo you wish to continue?"}));
}

// Dialog keys reach the dialog; a key that types needs Ctrl, Alt or the logo key.
TEST(HotKeyPressTest, DialogKeysStayAndTypingKeysNeedAHolder) {
    using enum HotKeyPress;
    const std::tuple<int, Qt::KeyboardModifiers, const char*, HotKeyPress> cases[] = {
        {Qt::Key_Escape, {}, "\x1b", Dialog},
        {Qt::Key_A, Qt::ShiftModifier, "A", Refuse},
        {Qt::Key_A, Qt::MetaModifier, "a", Take},
        {Qt::Key_F5, {}, "", Take}};
    for (const auto& [key, held, text, expected] : cases)
        EXPECT_EQ(classifyHotKeyPress(key, held, QString::fromLatin1(text)), expected) << key;
}

}  // namespace
}  // namespace ks::test
