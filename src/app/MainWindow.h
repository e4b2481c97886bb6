#pragma once

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "interchange/Interchange.h"

class QMenu;
class QSystemTrayIcon;
class QTreeWidget;

namespace ks {

class Shell;

// The main window: the macro and recording lists with their buttons, the
// tray icon with its menu. Hidden at start; closing it hides it (or, with no
// tray to come back from, minimises it).
class MainWindow final : public QWidget {
public:
    explicit MainWindow(Shell& shell);
    ~MainWindow() override;

    // Everything the window does once it exists: tray icon, lists with the
    // macros' triggers, the trigger column, the command line. False when the
    // store's root keys cannot be had: the program ends.
    bool initialise();

    // Shows the trigger kind after the current one (`advance`) or the
    // current one again, and remembers the next.
    void refreshTriggerColumn(bool advance);
    void deleteSelectedMacros();
    // "&Add" and "&Edit" (or a double click) of the macro list: the macro
    // editor, with the busy mark set while it is open.
    void addMacro();
    void editSelectedMacro();
    // "A&dd" of the recordings list: the recorder, with the busy mark set
    // while it is open; a saved recording joins the list.
    void addRecording();
    // "Ed&it" of the recordings list, or a double click on a row: the
    // recording editor for the one selected recording, busy mark set.
    void editRecording();
    // "Dele&te" of the recordings list.
    void deleteSelectedRecordings();
    void executeSelected();
    // "E&xport"/"I&mport" of the macros and "Ex&port"/"Imp&ort" of the
    // recordings: the selected rows to a file, a file's items into the lists.
    void exportSelected(ExportKind kind);
    void importFromFile(ExportKind kind);
    // A document posted to the request server: its macros, then its
    // recordings, imported without asking or showing anything; the texts of
    // what it had to report.
    std::vector<std::string> importPosted(const XmlDocument& document);
    // Every macro or every recording to a peer's request server, one push at
    // a time; the texts of what it had to report.
    std::vector<std::string> pushAll(ExportKind kind, const std::string& host,
                                     const std::string& port);
    // Asks, without waiting for the answer, whether macros pushed from
    // `peer` are to be imported from now on; once per peer and run.
    void askToAcceptPushes(const std::string& peer);
    void showOptions();
    void showAbout();
    // Shows, raises and activates the window.
    void showInFront();
    void hideWindow();
    void toggleHotKeys();
    void toggleSchedules();
    // Flips the phrase switch, stores it, and has the watch thread follow.
    void togglePhrases();
    void toggleServer();
    // The main window's end: tray icon gone, shell steps, then `onEnded`
    // unless the keyboard-watch thread still has to answer.
    void shutdown();

    bool hasTray() const;
    QTreeWidget* macroList() const { return macros_; }
    QTreeWidget* recordingList() const { return recordings_; }
    QMenu* trayMenu() const { return trayMenu_; }

    std::function<void()> onEnded;

    static constexpr int kTrayRetries = 8;  // after 0.5 s, 1 s, 2 s, … about two minutes in all

protected:
    void closeEvent(class QCloseEvent* event) override;
    void keyPressEvent(class QKeyEvent* event) override;

private:
    void buildLayout();
    void buildTrayMenu();
    void addAboutToContextMenu();
    void tryAddTray();
    void fillRecordings();
    void addRecordingRow(const std::string& name, std::uint32_t type);
    std::vector<std::string> recordingNames() const;
    void addMacroRow(const std::string& name);
    std::string triggerText(int kind, const std::string& macro);
    std::vector<int> selectedMacroRows() const;
    void openMacroEditor(const std::string& name);
    class ListsImportSite;  // the import's view of the two lists
    ImportOutcome importDocument(SettingsStore& store, ExportKind kind, const XmlDocument& document,
                                 ImportMode mode);
    bool exportItems(Messages& messages, ExportKind kind, const std::vector<std::string>& names,
                     const ExportTarget& target);

    Shell& shell_;
    QTreeWidget* macros_ = nullptr;
    QTreeWidget* recordings_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QTimer trayRetry_;
    int trayAttempts_ = 0;
    int triggerIndex_ = 0;
    bool pushing_ = false;
    std::set<std::string> askedToAcceptPushes_;
};

}  // namespace ks
