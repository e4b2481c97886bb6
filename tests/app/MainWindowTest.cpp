#include "app/MainWindow.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include "AppFixture.h"
#include "editors/RecordingEditor.h"
#include "journal/RecordingStore.h"

namespace ks::test {
namespace {

class MainWindowTest : public AppFixture {
protected:
    void makeWindow() {
        window = std::make_unique<MainWindow>(shell ? *shell : makeShell());
        EXPECT_TRUE(window->initialise());
    }
    QString header() const { return window->macroList()->headerItem()->text(1); }
    Texts column(int c) const { return columnTexts(window->macroList(), c); }
    void select(std::initializer_list<int> rows) {
        window->macroList()->clearSelection();
        for (int row : rows) window->macroList()->topLevelItem(row)->setSelected(true);
    }

    std::unique_ptr<MainWindow> window;
};

// Header clicks cycle the trigger column through the kinds and store the next.
TEST_F(MainWindowTest, ListsMacrosWithTheirTriggersAndRecordingsWithTheirTypes) {
    load(
        "[Macros\\Backup]\n\"vk\"=dword:77\n\"fsModifiers\"=dword:3\n\"MsgID\"=dword:2711\n"
        "\"WPhrase\"=\"btw\"\n\"WPhraseCase\"=dword:0\n[Journals\\Both]\n"
        "\"Type\"=dword:1\n[Journals\\Odd]\n\"Type\"=dword:4\n[Journals\\Untyped]");
    makeWindow();
    QTreeWidget* recordings = window->recordingList();
    EXPECT_EQ(columnTexts(recordings, 1), (Texts{"Keyboard & Mouse", "Unknown", "Unknown"}));
    std::string shown;  // header: the first row's text, the stored index
    for (int i = 0; i < 5; ++i) {
        if (i > 0) emit window->macroList()->header()->sectionClicked(1);
        shown += header().toStdString() + ": " + column(1).front() + " " +
                 std::to_string(option("triggerindex").value_or(9)) + ", ";
    }
    EXPECT_EQ(shown,
              "Hot Key: CTRL + ALT + F8 0, Scheduled: No 1, Word or Phrase: btw 2, "
              "XML Message ID: 10001 3, Hot Key: CTRL + ALT + F8 0, ");
    emit window->macroList()->header()->sectionClicked(0);  // the name column's header
    EXPECT_EQ(header(), "Hot Key");
    // A stored index shows the kind before it.
    setOption("triggerindex", 2);
    makeWindow();
    EXPECT_EQ(header(), "Word or Phrase");

    recordings = window->recordingList();
    for (int row : {0, 1}) recordings->topLevelItem(row)->setSelected(true);  // Both, Odd
    messages.answers = {MsgAnswer::No};
    window->deleteSelectedRecordings();
    EXPECT_EQ(recordings->topLevelItemCount(), 3);
    window->deleteSelectedRecordings();
    EXPECT_EQ(columnTexts(recordings, 0), Texts{"Untyped"});
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\Odd"));
}

// A macro that cannot be deleted is reported once and the others go on.
TEST_F(MainWindowTest, ExecuteAndDeleteActOnTheSelection) {
    load(
        "[Macros\\Locked]\n\"vk\"=dword:4c\n\"fsModifiers\"=dword:1\n[Macros\\Open]\n"
        "\"vk\"=dword:4f\n\"fsModifiers\"=dword:1\n\"MsgID\"=dword:2712\n[Macros\\Stays]");
    makeWindow();
    for (auto rows : {std::initializer_list<int>{}, {0, 1}, {1}}) {
        select(rows);
        window->executeSelected();
    }
    select({});
    window->deleteSelectedMacros();
    select({0, 1, 2});
    messages.answers = {MsgAnswer::No};
    window->deleteSelectedMacros();
    execOnFile(
        "CREATE TRIGGER fail BEFORE DELETE ON keys WHEN OLD.name = 'Locked' BEGIN "
        "SELECT RAISE(ABORT, 'access denied'); END;");
    window->deleteSelectedMacros();

    const std::string ask = "Are you sure you want to delete the selected macro(s)?";
    EXPECT_EQ(messages.texts(),
              (Texts{"No macro selected!", "Please select only one macro to be executed!",
                     "No macro(s) selected!", ask, ask, "Unable to delete macro: Locked"}));
    EXPECT_EQ(messages.shown[3].buttons, MsgButtons::YesNo);
    EXPECT_EQ(column(0), Texts{"Locked"});
    EXPECT_FALSE(tree->keyExists(macros + "\\Open"));
    EXPECT_EQ(hotKeys.calls.back(), "unregister 1");
    EXPECT_EQ(log, (Texts{"start Open"}));
    EXPECT_EQ(triggers->messageIdOwner(10002), std::nullopt);
}

TEST_F(MainWindowTest, TrayItemsFlipAndStoreTheirSwitches) {
    setOption("SrvPort", 8080);
    noted.threadPosts = true;
    makeShell().startPhraseWatch();
    makeWindow();
    // The switch of tray item i, as the program holds it.
    const auto on = [&](std::size_t i) {
        const Switches& now = shell->switches();
        EXPECT_EQ(schedulesOn(), now.scheduler);
        return std::array{shell->hotKeys().enabled(), now.phrases, now.scheduler, now.server}[i];
    };
    // option, log turning it off, log turning it on
    const std::tuple<const char*, Texts, Texts> items[] = {
        {"HotKeyOn", {}, {}},
        {"WPhraseOn", {"remove hooks"}, {"remove hooks", "install hooks"}},
        {"SchedOn", {}, {}},
        {"SrvOn", {"close server"}, {"open server 8080"}}};
    const QList<QAction*> actions = window->trayMenu()->actions();
    for (std::size_t i = 0; i < std::size(items); ++i) {
        const auto& [name, logOff, logOn] = items[i];
        SCOPED_TRACE(name);
        QAction* action = actions[static_cast<qsizetype>(i)];
        if (on(i)) action->trigger();  // start from off
        for (std::uint32_t value : {1u, 0u}) {
            log.clear();
            action->trigger();
            EXPECT_EQ(on(i), value == 1);
            EXPECT_EQ(option(name), value);
            EXPECT_EQ(log, value == 1 ? logOn : logOff);
        }
        failWritesOf(name);
        action->trigger();
        EXPECT_TRUE(on(i));  // stays flipped for this run
        EXPECT_EQ(messages.texts(), Texts{"Failed while writing to registry.  Please try again."});
        messages.clear();
        execOnFile("DROP TRIGGER fail_writes");
    }
}

// Turning the server on without a port, or on a port it cannot have, says so.
TEST_F(MainWindowTest, EnableServerReportsAMissingPortAndAFailedStart) {
    makeWindow();
    QAction* server = window->trayMenu()->actions()[3];
    server->trigger();
    EXPECT_TRUE(shell->switches().server);
    server->trigger();
    setOption("SrvPort", 8080);
    noted.serverOpens = false;
    server->trigger();
    EXPECT_EQ(messages.texts(),
              (Texts{"Error reading port for Server from registry, can't start server.",
                     "Failed to start server."}));
    EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));
}

// The editor is closed from inside its own loop, as a click would close it.
TEST_F(MainWindowTest, EditRecordingRenamesOrAddsTheRowTheEditorSaved) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", {{kWmKeyDown, 0x41, 30, 1, 0}}, 1));
    makeWindow();
    QTreeWidget* recordings = window->recordingList();
    window->editRecording();
    EXPECT_EQ(messages.texts(), Texts{"No recording selected!"});
    const std::vector<std::pair<bool, Texts>> saves = {{true, {"Rec", "Copy"}},
                                                       {false, {"Renamed", "Copy"}}};
    for (const auto& [saveAs, rows] : saves) {
        recordings->clearSelection();
        recordings->topLevelItem(0)->setSelected(true);
        QTimer::singleShot(0, window.get(), [saveAs = saveAs] {
            auto* editor = dynamic_cast<RecordingEditor*>(QApplication::activeModalWidget());
            ASSERT_NE(editor, nullptr);
            editor->nameEdit()->setText(saveAs ? "Copy" : "Renamed");
            saveAs ? editor->saveAsClicked() : editor->saveClicked();
        });
        window->editRecording();
        EXPECT_EQ(columnTexts(recordings, 0), rows);
        EXPECT_EQ(columnTexts(recordings, 1), (Texts{"Keyboard & Mouse", "Keyboard & Mouse"}));
    }
    shell->clipboards().events.events.resize(1);
    window->shutdown();  // copied events do not outlive the window
    EXPECT_TRUE(shell->clipboards().events.events.empty());
}

}  // namespace
}  // namespace ks::test
