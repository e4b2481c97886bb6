#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/HelpWindow.h"
#include "app/Icons.h"
#include "app/MacroEditing.h"
#include "app/OptionsDialog.h"
#include "app/RecordDialog.h"
#include "app/Shell.h"
#include "app/WindowPlaces.h"
#include "editors/RecordingEditor.h"
#include "journal/RecordingStore.h"
#include "platform/Keymap.h"
#include "platform/WindowControl.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr int kNameColumnWidth = 125;
// The trigger column's headers, in the order of TriggerKind.
constexpr const char* kTriggerKinds[] = {"Scheduled", "Word or Phrase", "XML Message ID",
                                         "Hot Key"};
constexpr int kHotKeyKind = static_cast<int>(TriggerKind::HotKey);

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QTreeWidget* makeList(const QString& nameTitle, const QString& secondTitle) {
    auto* list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setHeaderLabels({nameTitle, secondTitle});
    list->setColumnWidth(0, kNameColumnWidth);
    list->header()->setStretchLastSection(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformRowHeights(true);
    return list;
}

QPushButton* addButton(QBoxLayout* row, const QString& text, const std::function<void()>& action) {
    auto* button = new QPushButton(text);
    QObject::connect(button, &QPushButton::clicked, button, [action] { action(); });
    row->addWidget(button);
    return button;
}

}  // namespace

MainWindow::MainWindow(Shell& shell) : shell_(shell) {
    setWindowTitle(QStringLiteral("Keystrider"));
    setWindowIcon(programIcon());
    buildLayout();
    keepPlace(*this, shell_.store().tree(), "Main");
    trayRetry_.setSingleShot(true);
    connect(&trayRetry_, &QTimer::timeout, this, [this] { tryAddTray(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildLayout() {
    auto* layout = new QVBoxLayout(this);

    auto* macroGroup =
        new QGroupBox(QStringLiteral("Macros (Instruction sets fired by the given trigger(s))"));
    auto* macroLayout = new QVBoxLayout(macroGroup);
    macros_ = makeList(QStringLiteral("Macro Name"), kTriggerKinds[kHotKeyKind]);
    macros_->header()->setSectionsClickable(true);
    connect(macros_->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == 1) refreshTriggerColumn(true);
    });
    macroLayout->addWidget(macros_);
    connect(macros_, &QTreeWidget::itemDoubleClicked, this, [this] { editSelectedMacro(); });
    auto* macroButtons = new QHBoxLayout;
    addButton(macroButtons, QStringLiteral("&Add"), [this] { addMacro(); });
    addButton(macroButtons, QStringLiteral("&Edit"), [this] { editSelectedMacro(); });
    addButton(macroButtons, QStringLiteral("De&lete"), [this] { deleteSelectedMacros(); });
    addButton(macroButtons, QStringLiteral("E&xport"),
              [this] { exportSelected(ExportKind::Macros); });
    addButton(macroButtons, QStringLiteral("I&mport"),
              [this] { importFromFile(ExportKind::Macros); });
    addButton(macroButtons, QStringLiteral("Exec&ute"), [this] { executeSelected(); });
    macroButtons->addStretch();
    macroLayout->addLayout(macroButtons);
    layout->addWidget(macroGroup);

    auto* recordingGroup =
        new QGroupBox(QStringLiteral("Recordings (Recorded keyboard and/or mouse events)"));
    auto* recordingLayout = new QVBoxLayout(recordingGroup);
    recordings_ = makeList(QStringLiteral("Recording Name"), QStringLiteral("Recording Type"));
    recordingLayout->addWidget(recordings_);
    auto* recordingButtons = new QHBoxLayout;
    addButton(recordingButtons, QStringLiteral("A&dd"), [this] { addRecording(); });
    addButton(recordingButtons, QStringLiteral("Ed&it"), [this] { editRecording(); });
    connect(recordings_, &QTreeWidget::itemDoubleClicked, this, [this] { editRecording(); });
    addButton(recordingButtons, QStringLiteral("Dele&te"), [this] { deleteSelectedRecordings(); });
    addButton(recordingButtons, QStringLiteral("Ex&port"),
              [this] { exportSelected(ExportKind::Recordings); });
    addButton(recordingButtons, QStringLiteral("Imp&ort"),
              [this] { importFromFile(ExportKind::Recordings); });
    recordingButtons->addStretch();
    recordingLayout->addLayout(recordingButtons);
    layout->addWidget(recordingGroup);

    auto* windowButtons = new QHBoxLayout;
    addButton(windowButtons, QStringLiteral("&Shutdown"), [this] { shutdown(); });
    addButton(windowButtons, QStringLiteral("&Close"), [this] { hideWindow(); });
    addButton(windowButtons, QStringLiteral("A&bout"), [this] { showAbout(); });
    addButton(windowButtons, QStringLiteral("&Help"), [this] { shell_.guide().open(kGuideTop); });
    addButton(windowButtons, QStringLiteral("Optio&ns"), [this] { showOptions(); });
    windowButtons->addStretch();
    layout->addLayout(windowButtons);
    addAboutToContextMenu();
    resize(420, 460);
}

bool MainWindow::initialise() {
    buildTrayMenu();
    tryAddTray();
    if (!shell_.store().EnsureRootKeys()) return false;
    for (const std::string& name : shell_.triggers().loadAll()) addMacroRow(name);
    fillRecordings();
    triggerIndex_ = static_cast<int>(readOption(shell_.store(), "triggerindex").value_or(0) % 4);
    refreshTriggerColumn(false);
    shell_.handCommandLineToSelf();
    if (shell_.switches().scheduler) shell_.triggers().schedules().start();
    return true;
}

void MainWindow::buildTrayMenu() {
    trayMenu_ = new QMenu(this);
    QAction* hotKeys = trayMenu_->addAction(QStringLiteral("Enable Hot Key Triggers"));
    hotKeys->setCheckable(true);
    connect(hotKeys, &QAction::triggered, this, [this] { toggleHotKeys(); });
    QAction* phrases = trayMenu_->addAction(QStringLiteral("Enable Word or Phrase Triggers"));
    phrases->setCheckable(true);
    connect(phrases, &QAction::triggered, this, [this] { togglePhrases(); });
    QAction* schedules = trayMenu_->addAction(QStringLiteral("Enable Scheduled Triggers"));
    schedules->setCheckable(true);
    connect(schedules, &QAction::triggered, this, [this] { toggleSchedules(); });
    QAction* server = trayMenu_->addAction(QStringLiteral("Enable Server"));
    server->setCheckable(true);
    connect(server, &QAction::triggered, this, [this] { toggleServer(); });
    connect(trayMenu_, &QMenu::aboutToShow, this, [this, hotKeys, phrases, schedules, server] {
        hotKeys->setChecked(shell_.hotKeys().enabled());
        phrases->setChecked(shell_.switches().phrases);
        schedules->setChecked(shell_.switches().scheduler);
        server->setChecked(shell_.switches().server);
    });
    trayMenu_->addSeparator();
    connect(trayMenu_->addAction(QStringLiteral("Shutdown")), &QAction::triggered, this,
            [this] { shutdown(); });
    connect(trayMenu_->addAction(QStringLiteral("Show Main Window")), &QAction::triggered, this,
            [this] { showInFront(); });
}

// The notification area may appear after this program (a session starting
// both at once): look again, less often each time.
void MainWindow::tryAddTray() {
    if (tray_ != nullptr) return;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (trayAttempts_ < kTrayRetries) trayRetry_.start(500 << trayAttempts_++);
        return;
    }
    tray_ = new QSystemTrayIcon(trayIcon(), this);
    tray_->setToolTip(QStringLiteral("Keystrider"));
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) showInFront();
            });
    tray_->show();
}

bool MainWindow::hasTray() const {
    return tray_ != nullptr && tray_->isVisible();
}

void MainWindow::addMacroRow(const std::string& name) {
    auto* row = new QTreeWidgetItem(macros_);
    row->setText(0, qs(name));
}

void MainWindow::fillRecordings() {
    for (const RecordingRow& r : listRecordings(shell_.store())) addRecordingRow(r.name, r.type);
}

void MainWindow::addRecordingRow(const std::string& name, std::uint32_t type) {
    auto* row = new QTreeWidgetItem(recordings_);
    row->setText(0, qs(name));
    row->setText(1, qs(std::string(recordingTypeText(type))));
    row->setData(1, Qt::UserRole, type);
}

std::vector<std::string> MainWindow::recordingNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < recordings_->topLevelItemCount(); ++i) {
        names.push_back(recordings_->topLevelItem(i)->text(0).toStdString());
    }
    return names;
}

void MainWindow::addRecording() {
    const Desktop& desktop = shell_.services().desktop;
    const auto busy = shell_.services().runs.markBusy();
    RecordDialog dialog(
        RecordDialog::Services{shell_.store(), shell_.messages(), desktop.windows, desktop.keymap,
                               desktop.capture, desktop.recordCancelWatch},
        shell_.guide(), this, recordingNames());
    if (dialog.exec() == QDialog::Accepted) {
        addRecordingRow(dialog.savedName(), static_cast<std::uint32_t>(dialog.savedType()));
    }
}

namespace {

// The type a recording row's type text stands for; an unknown type plays as mouse.
RecordingType typeOfRowText(const QString& text) {
    if (text == QLatin1String("Keyboard & Mouse")) return RecordingType::KeyboardAndMouse;
    if (text == QLatin1String("Keyboard")) return RecordingType::Keyboard;
    return RecordingType::Mouse;
}

}  // namespace

void MainWindow::editRecording() {
    const QList<QTreeWidgetItem*> selected = recordings_->selectedItems();
    if (selected.size() != 1) {
        shell_.messages().show(selected.empty() ? "No recording selected!"
                                                : "Please select only one recording to be edited!",
                               "Attention", MsgIcon::Exclamation, MsgButtons::Ok,
                               MsgOwner::MainWindow);
        return;
    }
    QTreeWidgetItem* row = selected.front();
    const Desktop& desktop = shell_.services().desktop;
    const RecordingType type = typeOfRowText(row->text(1));
    const auto busy = shell_.services().runs.markBusy();
    RecordingEditor editor(
        RecordingEditor::Services{
            shell_.store(), shell_.clipboards().events,
            EventDialogServices{shell_.messages(), desktop.windows.screenSize(),
                                pickServices(shell_, *this)}},
        row->text(0).toStdString(), type, this);
    keepPlace(editor, shell_.store().tree(), "RecordingEditor");
    if (editor.exec() == QDialog::Accepted) {
        if (editor.savedAsNew()) {
            addRecordingRow(editor.savedName(), static_cast<std::uint32_t>(type));
        } else {
            row->setText(0, qs(editor.savedName()));
        }
    }
}

std::string MainWindow::triggerText(int kind, const std::string& macro) {
    return shell_.triggers().displayText(static_cast<TriggerKind>(kind), macro);
}

void MainWindow::refreshTriggerColumn(bool advance) {
    if (!advance) triggerIndex_ = (triggerIndex_ + 3) % 4;
    macros_->headerItem()->setText(1, kTriggerKinds[triggerIndex_]);
    for (int i = 0; i < macros_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = macros_->topLevelItem(i);
        row->setText(1, qs(triggerText(triggerIndex_, row->text(0).toStdString())));
    }
    triggerIndex_ = (triggerIndex_ + 1) % 4;
    shell_.store().SetDword(StoreKey::root().direct(), "triggerindex",
                            static_cast<std::uint32_t>(triggerIndex_));
}

std::vector<int> MainWindow::selectedMacroRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : macros_->selectedItems()) {
        rows.push_back(macros_->indexOfTopLevelItem(item));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainWindow::deleteSelectedRecordings() {
    std::vector<QTreeWidgetItem*> items;
    std::vector<std::string> names;
    for (int i = 0; i < recordings_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = recordings_->topLevelItem(i);
        if (!item->isSelected()) continue;
        items.push_back(item);
        names.push_back(item->text(0).toStdString());
    }
    const std::vector<std::string> deleted = ks::DeleteSelectedRecordings(shell_.store(), names);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (std::find(deleted.begin(), deleted.end(), names[i]) != deleted.end()) delete items[i];
    }
}

void MainWindow::deleteSelectedMacros() {
    Messages& messages = shell_.messages();
    std::vector<int> rows = selectedMacroRows();
    if (rows.empty()) {
        messages.show("No macro(s) selected!", "Attention", MsgIcon::Exclamation, MsgButtons::Ok,
                      MsgOwner::MainWindow);
        return;
    }
    if (messages.show("Are you sure you want to delete the selected macro(s)?", "Warning",
                      MsgIcon::Question, MsgButtons::YesNo,
                      MsgOwner::MainWindow) != MsgAnswer::Yes) {
        return;
    }
    std::vector<QTreeWidgetItem*> items;
    for (int row : rows) items.push_back(macros_->topLevelItem(row));
    for (QTreeWidgetItem* item : items) {
        const std::string name = item->text(0).toStdString();
        const StoredHotKey stored = shell_.hotKeys().readStored(name);
        if (!shell_.store().DeleteKeyTree(MacroKey(name).key().treePath())) {
            messages.show("Unable to delete macro: " + name, "Attention", MsgIcon::Exclamation,
                          MsgButtons::Ok, MsgOwner::MainWindow);
            continue;
        }
        delete item;
        shell_.triggers().removeDeleted(name, stored);
    }
}

void MainWindow::addMacro() {
    openMacroEditor({});
}

void MainWindow::editSelectedMacro() {
    const std::vector<int> rows = selectedMacroRows();
    if (rows.size() != 1) {
        shell_.messages().show(
            rows.empty() ? "No macro selected!" : "Please select only one macro to be edited!",
            "Attention", MsgIcon::Exclamation, MsgButtons::Ok, MsgOwner::MainWindow);
        return;
    }
    openMacroEditor(macros_->topLevelItem(rows[0])->text(0).toStdString());
}

// A saved macro keeps the row of the macro it replaced; a new one is appended.
void MainWindow::openMacroEditor(const std::string& name) {
    const auto saved = [this](const std::string& macro, const std::string& replaced) {
        for (int i = 0; !replaced.empty() && i < macros_->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = macros_->topLevelItem(i);
            if (row->text(0).toStdString() == replaced) return row->setText(0, qs(macro));
        }
        addMacroRow(macro);
    };
    if (editMacro(shell_, name, *this, saved)) refreshTriggerColumn(false);
}

void MainWindow::executeSelected() {
    const std::vector<int> rows = selectedMacroRows();
    if (rows.size() != 1) {
        shell_.messages().show(
            rows.empty() ? "No macro selected!" : "Please select only one macro to be executed!",
            "Attention", MsgIcon::Exclamation, MsgButtons::Ok, MsgOwner::MainWindow);
        return;
    }
    // A request that cannot be posted is not reported.
    shell_.services().runs.start(macros_->topLevelItem(rows[0])->text(0).toStdString());
}

void MainWindow::toggleHotKeys() {
    HotKeyTable& table = shell_.hotKeys();
    table.setEnabled(!table.enabled());
    shell_.writeOption("HotKeyOn", table.enabled() ? 1 : 0);
}

void MainWindow::togglePhrases() {
    bool& on = shell_.switches().phrases;
    on = !on;
    if (shell_.writeOption("WPhraseOn", on ? 1 : 0)) shell_.restartPhraseWatch(on);
}

void MainWindow::toggleSchedules() {
    const bool on = !shell_.switches().scheduler;
    shell_.setScheduler(on);
    shell_.writeOption("SchedOn", on ? 1 : 0);
}

void MainWindow::toggleServer() {
    const bool on = !shell_.switches().server;
    shell_.switches().server = on;
    if (!on) shell_.closeServer();
    shell_.writeOption("SrvOn", on ? 1 : 0);
    if (!on) return;
    const auto showServerError = [this](const char* text) {
        shell_.messages().show(text, "Keystrider - Error", MsgIcon::Stop, MsgButtons::Ok,
                               MsgOwner::MainWindow);
    };
    const auto port = readOption(shell_.store(), "SrvPort");
    if (!port) {
        return showServerError("Error reading port for Server from registry, can't start server.");
    }
    if (!shell_.openServer(*port)) showServerError("Failed to start server.");
}

void MainWindow::showOptions() {
    OptionsDialog dialog(shell_, this);
    dialog.exec();
}

void MainWindow::showAbout() {
    shell_.messages().show(
        "Keystrider " KS_VERSION
        "\n\nRecords and plays back keyboard and mouse input, and runs macros started by hot "
        "keys, typed words, schedules, XML messages, the command line or a button.",
        "About Keystrider", MsgIcon::Information, MsgButtons::Ok, MsgOwner::MainWindow);
}

// X11 window managers keep their window menu to themselves; a right click
// anywhere in the window (or the Menu key) offers the About item instead.
void MainWindow::addAboutToContextMenu() {
    auto* about = new QAction(QStringLiteral("&About Keystrider..."), this);
    connect(about, &QAction::triggered, this, [this] { showAbout(); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::showInFront() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::hideWindow() {
    if (hasTray()) {
        hide();
    } else {
        showMinimized();
    }
}

void MainWindow::shutdown() {
    hide();  // keeps its place for the next run
    if (tray_ != nullptr) tray_->hide();
    shell_.clipboards().events.events.clear();
    if (shell_.shutdown() && onEnded) onEnded();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hideWindow();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hideWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace ks
