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
        if (section == 1) RefreshTriggerColumn(true);
    });
    macroLayout->addWidget(macros_);
    connect(macros_, &QTreeWidget::itemDoubleClicked, this, [this] { EditSelectedMacro(); });
    auto* macroButtons = new QHBoxLayout;
    addButton(macroButtons, QStringLiteral("&Add"), [this] { AddMacro(); });
    addButton(macroButtons, QStringLiteral("&Edit"), [this] { EditSelectedMacro(); });
    addButton(macroButtons, QStringLiteral("De&lete"), [this] { DeleteSelectedMacros(); });
    addButton(macroButtons, QStringLiteral("E&xport"),
              [this] { ExportSelected(ExportKind::Macros); });
    addButton(macroButtons, QStringLiteral("I&mport"),
              [this] { ImportFromFile(ExportKind::Macros); });
    addButton(macroButtons, QStringLiteral("Exec&ute"), [this] { ExecuteSelected(); });
    macroButtons->addStretch();
    macroLayout->addLayout(macroButtons);
    layout->addWidget(macroGroup);

    auto* recordingGroup =
        new QGroupBox(QStringLiteral("Recordings (Recorded keyboard and/or mouse events)"));
    auto* recordingLayout = new QVBoxLayout(recordingGroup);
    recordings_ = makeList(QStringLiteral("Recording Name"), QStringLiteral("Recording Type"));
    recordingLayout->addWidget(recordings_);
    auto* recordingButtons = new QHBoxLayout;
    addButton(recordingButtons, QStringLiteral("A&dd"), [this] { AddRecording(); });
    addButton(recordingButtons, QStringLiteral("Ed&it"), [this] { EditRecording(); });
    connect(recordings_, &QTreeWidget::itemDoubleClicked, this, [this] { EditRecording(); });
    addButton(recordingButtons, QStringLiteral("Dele&te"), [this] { DeleteSelectedRecordings(); });
    addButton(recordingButtons, QStringLiteral("Ex&port"),
              [this] { ExportSelected(ExportKind::Recordings); });
    addButton(recordingButtons, QStringLiteral("Imp&ort"),
              [this] { ImportFromFile(ExportKind::Recordings); });
    recordingButtons->addStretch();
    recordingLayout->addLayout(recordingButtons);
    layout->addWidget(recordingGroup);

    auto* windowButtons = new QHBoxLayout;
    addButton(windowButtons, QStringLiteral("&Shutdown"), [this] { Shutdown(); });
    addButton(windowButtons, QStringLiteral("&Close"), [this] { HideWindow(); });
    addButton(windowButtons, QStringLiteral("A&bout"), [this] { ShowAbout(); });
    addButton(windowButtons, QStringLiteral("&Help"), [] { OpenHelp(kGuideTop); });
    addButton(windowButtons, QStringLiteral("Optio&ns"), [this] { ShowOptions(); });
    windowButtons->addStretch();
    layout->addLayout(windowButtons);
    addAboutToContextMenu();
    resize(420, 460);
}

bool MainWindow::Initialise() {
    buildTrayMenu();
    tryAddTray();
    if (!shell_.store().EnsureRootKeys()) return false;
    for (const std::string& name : shell_.triggers().loadAll()) addMacroRow(name);
    fillRecordings();
    triggerIndex_ = static_cast<int>(readOption(shell_.store(), "triggerindex").value_or(0) % 4);
    RefreshTriggerColumn(false);
    shell_.HandCommandLineToSelf();
    if (shell_.switches().scheduler) shell_.triggers().schedules().start();
    return true;
}

void MainWindow::buildTrayMenu() {
    trayMenu_ = new QMenu(this);
    QAction* hotKeys = trayMenu_->addAction(QStringLiteral("Enable Hot Key Triggers"));
    hotKeys->setCheckable(true);
    connect(hotKeys, &QAction::triggered, this, [this] { ToggleHotKeys(); });
    QAction* phrases = trayMenu_->addAction(QStringLiteral("Enable Word or Phrase Triggers"));
    phrases->setCheckable(true);
    connect(phrases, &QAction::triggered, this, [this] { TogglePhrases(); });
    QAction* schedules = trayMenu_->addAction(QStringLiteral("Enable Scheduled Triggers"));
    schedules->setCheckable(true);
    connect(schedules, &QAction::triggered, this, [this] { ToggleSchedules(); });
    QAction* server = trayMenu_->addAction(QStringLiteral("Enable Server"));
    server->setCheckable(true);
    connect(server, &QAction::triggered, this, [this] { ToggleServer(); });
    connect(trayMenu_, &QMenu::aboutToShow, this, [this, hotKeys, phrases, schedules, server] {
        hotKeys->setChecked(shell_.hotKeys().enabled());
        phrases->setChecked(shell_.switches().phrases);
        schedules->setChecked(shell_.switches().scheduler);
        server->setChecked(shell_.switches().server);
    });
    trayMenu_->addSeparator();
    connect(trayMenu_->addAction(QStringLiteral("Shutdown")), &QAction::triggered, this,
            [this] { Shutdown(); });
    connect(trayMenu_->addAction(QStringLiteral("Show Main Window")), &QAction::triggered, this,
            [this] { ShowNormal(); });
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
                if (why == QSystemTrayIcon::Trigger) ShowNormal();
            });
    tray_->show();
}

bool MainWindow::HasTray() const {
    return tray_ != nullptr && tray_->isVisible();
}

void MainWindow::addMacroRow(const std::string& name) {
    auto* row = new QTreeWidgetItem(macros_);
    row->setText(0, qs(name));
}

void MainWindow::fillRecordings() {
    for (const RecordingRow& r : ListRecordings(shell_.store())) addRecordingRow(r.name, r.type);
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

void MainWindow::AddRecording() {
    const ShellHooks& hooks = shell_.hooks();
    const RecordingDesktop desktop =
        hooks.recordingDesktop ? hooks.recordingDesktop() : RecordingDesktop{};
    if (!desktop.windows || !desktop.keymap || !desktop.capture || !desktop.cancelWatch) return;
    const bool wasBusy = hooks.exchangeBusy ? hooks.exchangeBusy(true) : false;
    RecordDialog dialog(
        RecordDialog::Services{shell_.store(), shell_.messages(), *desktop.windows, *desktop.keymap,
                               *desktop.capture, *desktop.cancelWatch},
        this, recordingNames());
    if (dialog.exec() == QDialog::Accepted) {
        addRecordingRow(dialog.savedName(), static_cast<std::uint32_t>(dialog.savedType()));
    }
    if (hooks.exchangeBusy) hooks.exchangeBusy(wasBusy);
}

namespace {

// The type a recording row's type text stands for; an unknown type plays as mouse.
RecordingType typeOfRowText(const QString& text) {
    if (text == QLatin1String("Keyboard & Mouse")) return RecordingType::KeyboardAndMouse;
    if (text == QLatin1String("Keyboard")) return RecordingType::Keyboard;
    return RecordingType::Mouse;
}

}  // namespace

void MainWindow::EditRecording() {
    const QList<QTreeWidgetItem*> selected = recordings_->selectedItems();
    if (selected.size() != 1) {
        shell_.messages().show(selected.empty() ? "No recording selected!"
                                                : "Please select only one recording to be edited!",
                               "Attention", MsgIcon::Exclamation, MsgButtons::Ok,
                               MsgOwner::MainWindow);
        return;
    }
    QTreeWidgetItem* row = selected.front();
    const ShellHooks& hooks = shell_.hooks();
    const RecordingDesktop desktop =
        hooks.recordingDesktop ? hooks.recordingDesktop() : RecordingDesktop{};
    std::shared_ptr<const KeyLayout> layout =
        desktop.keymap ? desktop.keymap->layout() : std::make_shared<const KeyLayout>();
    const ScreenSize extent = desktop.windows ? desktop.windows->screenSize() : ScreenSize{};
    const RecordingType type = typeOfRowText(row->text(1));
    const bool wasBusy = hooks.exchangeBusy ? hooks.exchangeBusy(true) : false;
    RecordingEditor editor(
        RecordingEditor::Services{
            shell_.store(), EventClipboard::shared(),
            EventDialogServices{shell_.messages(), std::move(layout), extent, desktop.capture,
                                desktop.injector, this, shell_.switches().specialMouse}},
        row->text(0).toStdString(), type, this);
    keepPlace(editor, shell_.store().tree(), "RecordingEditor");
    if (editor.exec() == QDialog::Accepted) {
        if (editor.savedAsNew()) {
            addRecordingRow(editor.savedName(), static_cast<std::uint32_t>(type));
        } else {
            row->setText(0, qs(editor.savedName()));
        }
    }
    if (hooks.exchangeBusy) hooks.exchangeBusy(wasBusy);
}

std::string MainWindow::triggerText(int kind, const std::string& macro) {
    return shell_.triggers().displayText(static_cast<TriggerKind>(kind), macro);
}

void MainWindow::RefreshTriggerColumn(bool advance) {
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

void MainWindow::DeleteSelectedRecordings() {
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

void MainWindow::DeleteSelectedMacros() {
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

void MainWindow::AddMacro() {
    openMacroEditor({});
}

void MainWindow::EditSelectedMacro() {
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
    if (EditMacro(shell_, name, this, saved)) RefreshTriggerColumn(false);
}

void MainWindow::ExecuteSelected() {
    const std::vector<int> rows = selectedMacroRows();
    if (rows.size() != 1) {
        shell_.messages().show(
            rows.empty() ? "No macro selected!" : "Please select only one macro to be executed!",
            "Attention", MsgIcon::Exclamation, MsgButtons::Ok, MsgOwner::MainWindow);
        return;
    }
    // A request that cannot be posted is not reported.
    if (shell_.hooks().postStartMacro) {
        shell_.hooks().postStartMacro(macros_->topLevelItem(rows[0])->text(0).toStdString());
    }
}

void MainWindow::ToggleHotKeys() {
    HotKeyTable& table = shell_.hotKeys();
    table.setEnabled(!table.enabled());
    shell_.WriteOption("HotKeyOn", table.enabled() ? 1 : 0);
}

void MainWindow::TogglePhrases() {
    bool& on = shell_.switches().phrases;
    on = !on;
    if (shell_.WriteOption("WPhraseOn", on ? 1 : 0)) shell_.RestartPhraseWatch(on);
}

void MainWindow::ToggleSchedules() {
    const bool on = !shell_.switches().scheduler;
    shell_.SetScheduler(on);
    shell_.WriteOption("SchedOn", on ? 1 : 0);
}

void MainWindow::ToggleServer() {
    const bool on = !shell_.switches().server;
    shell_.switches().server = on;
    if (!on) shell_.CloseServer();
    shell_.WriteOption("SrvOn", on ? 1 : 0);
    if (!on) return;
    const auto showServerError = [this](const char* text) {
        shell_.messages().show(text, "Keystrider - Error", MsgIcon::Stop, MsgButtons::Ok,
                               MsgOwner::MainWindow);
    };
    const auto port = readOption(shell_.store(), "SrvPort");
    if (!port) {
        return showServerError("Error reading port for Server from registry, can't start server.");
    }
    if (!shell_.OpenServer(*port)) showServerError("Failed to start server.");
}

void MainWindow::ShowOptions() {
    OptionsDialog dialog(shell_, this);
    dialog.exec();
}

void MainWindow::ShowAbout() {
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
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::ShowNormal() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::HideWindow() {
    if (HasTray()) {
        hide();
    } else {
        showMinimized();
    }
}

void MainWindow::Shutdown() {
    hide();  // keeps its place for the next run
    if (tray_ != nullptr) tray_->hide();
    if (shell_.Shutdown() && onEnded) onEnded();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    HideWindow();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        HideWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace ks
