#include "app/MainWindow.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

#include "AppFixture.h"

namespace ks::test {
namespace {

class MainWindowTest : public AppFixture {
protected:
    MainWindow& makeWindow() {
        window = std::make_unique<MainWindow>(shell ? *shell : makeShell());
        EXPECT_TRUE(window->Initialise());
        return *window;
    }

    QString header() const { return window->macroList()->headerItem()->text(1); }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> texts;
        QTreeWidget* list = window->macroList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts.push_back(list->topLevelItem(i)->text(c).toStdString());
        }
        return texts;
    }
    void select(std::initializer_list<int> rows) {
        window->macroList()->clearSelection();
        for (int row : rows) window->macroList()->topLevelItem(row)->setSelected(true);
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ListsMacrosAndRecordingsAndDeletesTheSelectedRecordings) {
    load(R"([Macros\Backup]
            "vk"=dword:00000077
            "fsModifiers"=dword:00000003
            [Macros\plain]
            [Journals\Both]
            "Type"=dword:00000001
            [Journals\Keys]
            "Type"=dword:00000002
            [Journals\Odd]
            "Type"=dword:00000004
            [Journals\Untyped])");
    makeWindow();

    EXPECT_EQ(header(), "Hot Key");
    EXPECT_EQ(column(0), (std::vector<std::string>{"Backup", "plain"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"CTRL + ALT + F8", ""}));
    QTreeWidget* recordings = window->recordingList();
    ASSERT_EQ(recordings->topLevelItemCount(), 4);
    const char* types[] = {"Keyboard & Mouse", "Keyboard", "Unknown", "Unknown"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(recordings->topLevelItem(i)->text(1), types[i]);
    EXPECT_EQ(option("triggerindex"), 0u);

    recordings->topLevelItem(0)->setSelected(true);  // Both
    recordings->topLevelItem(2)->setSelected(true);  // Odd
    messages.answers = {MsgAnswer::No};
    window->DeleteSelectedRecordings();
    EXPECT_EQ(recordings->topLevelItemCount(), 4);
    messages.answers = {MsgAnswer::Yes};
    window->DeleteSelectedRecordings();
    ASSERT_EQ(recordings->topLevelItemCount(), 2);
    EXPECT_EQ(recordings->topLevelItem(1)->text(0), "Untyped");
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\Odd"));
    EXPECT_TRUE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\Keys"));
}

TEST_F(MainWindowTest, HeaderClicksCycleTheTriggerKindsAndRememberTheNext) {
    addMacro("M", kModShift, 'Q');
    makeWindow();
    const std::vector<std::pair<const char*, std::string>> shown = {{"Scheduled", "0:M"},
                                                                    {"Word or Phrase", "1:M"},
                                                                    {"XML Message ID", "2:M"},
                                                                    {"Hot Key", "SHIFT + Q"}};
    for (std::size_t i = 0; i < shown.size(); ++i) {
        emit window->macroList()->header()->sectionClicked(1);
        EXPECT_EQ(header(), shown[i].first);
        EXPECT_EQ(column(1), std::vector<std::string>{shown[i].second});
        EXPECT_EQ(option("triggerindex"), (i + 1) % 4);
    }
    // The first column's header does not advance.
    emit window->macroList()->header()->sectionClicked(0);
    EXPECT_EQ(header(), "Hot Key");

    // A stored index shows the kind before it.
    setOption("triggerindex", 2);
    makeWindow();
    EXPECT_EQ(header(), "Word or Phrase");
    EXPECT_EQ(option("triggerindex"), 2u);
}

TEST_F(MainWindowTest, DeleteAsksFirstAndReportsAFailedMacroOnceAndGoesOn) {
    addMacro("Locked", kModAlt, 'L');
    addMacro("Open", kModAlt, 'O');
    addMacro("Stays");
    makeWindow();
    window->DeleteSelectedMacros();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"No macro(s) selected!"});
    select({0, 1});
    messages.clear();
    messages.answers = {MsgAnswer::No};
    window->DeleteSelectedMacros();
    EXPECT_EQ(column(0).size(), 3u);

    failDeletesOf("Locked");
    messages.clear();
    window->DeleteSelectedMacros();

    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Are you sure you want to delete the selected macro(s)?",
                                        "Unable to delete macro: Locked"}));
    EXPECT_EQ(messages.shown[0].title, "Warning");
    EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(column(0), (std::vector<std::string>{"Locked", "Stays"}));
    EXPECT_FALSE(tree->keyExists(macroKey("Open")));
    EXPECT_EQ(hotKeys.calls.back(), (RecordingHotKeys::Call{"unregister", 1, 0, 0}));
    EXPECT_EQ(log, std::vector<std::string>{"remove Open"});
    EXPECT_EQ(shell->hotKeys().TextForMacro("Open"), "");
    EXPECT_EQ(shell->hotKeys().TextForMacro("Locked"), "ALT + L");
}

TEST_F(MainWindowTest, ExecuteStartsExactlyOneSelectedMacro) {
    addMacro("A");
    addMacro("B");
    makeWindow();
    struct Case {
        std::initializer_list<int> rows;
        std::vector<std::string> shown;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {{}, {"No macro selected!"}, {}},
        {{0, 1}, {"Please select only one macro to be executed!"}, {}},
        {{1}, {}, {"start B"}},
    };
    for (const Case& c : cases) {
        messages.clear();
        log.clear();
        select(c.rows);
        window->ExecuteSelected();
        EXPECT_EQ(messages.texts(), c.shown);
        EXPECT_EQ(log, c.log);
    }
}

TEST_F(MainWindowTest, TheTrayItemFlipsAndStoresTheHotKeySwitch) {
    makeWindow();
    QAction* item = window->trayMenu()->actions().front();
    EXPECT_EQ(item->text(), "Enable Hot Key Triggers");
    item->trigger();
    EXPECT_FALSE(shell->hotKeys().Enabled());
    EXPECT_EQ(option("HotKeyOn"), 0u);
    item->trigger();
    EXPECT_TRUE(shell->hotKeys().Enabled());
    EXPECT_EQ(option("HotKeyOn"), 1u);

    failWritesOf("HotKeyOn");
    item->trigger();
    EXPECT_FALSE(shell->hotKeys().Enabled());  // stays flipped for this run
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Failed while writing to registry.  Please try again."});
}

TEST_F(MainWindowTest, ShutdownEndsTheWindowAndACommandLineRunsAfterStart) {
    makeShell("Backup");
    makeWindow();
    EXPECT_EQ(log, std::vector<std::string>{"command-line macro"});
    bool ended = false;
    window->onEnded = [&] { ended = true; };
    window->Shutdown();
    EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace ks::test
