// Opens each window of the program over a store of its own in a temporary
// folder and saves it as a PNG file: ks_screenshots OUTPUT_DIR. A modal
// dialog is saved from inside its own event loop and then closed. Each
// window is also checked against the screen it is on: a window that cannot
// be made to fit it, or a control outside its window, which the user could
// not reach, makes the run fail.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/Engine.h"
#include "app/HelpWindow.h"
#include "app/MacroEditing.h"
#include "app/MainWindow.h"
#include "app/Shell.h"
#include "commands/CommandTable.h"
#include "editors/MacroBody.h"
#include "editors/MacroDocument.h"
#include "editors/ParameterDialog.h"
#include "editors/RecordingEditor.h"
#include "editors/ScheduleDialog.h"
#include "interchange/ExchangeDialogs.h"
#include "journal/RecordingStore.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtMessages.h"
#include "platform/x11/X11Platform.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

using namespace ks;

constexpr int kTimeLimit = 60'000;  // milliseconds for all of it
// Room a window manager takes around a window: its borders and title bar.
constexpr QSize kFrame(8, 40);

QString describe(const QWidget* widget) {
    QString text;
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) text = button->text();
    return QString::fromLatin1(widget->metaObject()->className()) +
           (text.isEmpty() ? QString() : " \"" + text + '"');
}

// Shown widgets of `parent` that reach outside `window`. What lies in a
// scroll area's viewport is reached by scrolling, so only the area counts.
void findOutside(const QWidget* window, const QWidget* parent, QStringList& outside) {
    const auto* area = qobject_cast<const QAbstractScrollArea*>(parent);
    for (const QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isVisibleTo(window)) continue;
        const QRect place(child->mapTo(window, QPoint(0, 0)), child->size());
        if (!window->rect().contains(place)) outside << describe(child);
        if (area == nullptr || child != area->viewport()) findOutside(window, child, outside);
    }
}

// Column headers of `window` too narrow for their text.
void findClippedHeaders(const QWidget* window, QStringList& clipped) {
    for (const QHeaderView* header : window->findChildren<QHeaderView*>()) {
        if (!header->isVisibleTo(window) || header->orientation() != Qt::Horizontal) continue;
        for (int section = 0; section < header->count(); ++section) {
            const QString text = header->model()->headerData(section, Qt::Horizontal).toString();
            if (header->sectionSize(section) < header->fontMetrics().horizontalAdvance(text)) {
                clipped << '"' + text + '"';
            }
        }
    }
}

// Why `window` does not fit its screen; nothing when it does.
QStringList fitProblems(const QWidget* window) {
    QStringList problems;
    const QSize screen = window->screen()->availableGeometry().size();
    const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
    if (least.width() > screen.width() || least.height() > screen.height()) {
        problems << QStringLiteral("least size %1x%2").arg(least.width()).arg(least.height());
    }
    if (window->width() + kFrame.width() > screen.width() ||
        window->height() + kFrame.height() > screen.height()) {
        problems << QStringLiteral("opens at %1x%2").arg(window->width()).arg(window->height());
    }
    QStringList outside;
    findOutside(window, window, outside);
    if (!outside.isEmpty()) problems << "outside the window: " + outside.join(", ");
    QStringList clipped;
    findClippedHeaders(window, clipped);
    if (!clipped.isEmpty()) problems << "headers cut short: " + clipped.join(", ");
    return problems;
}

class Camera {
public:
    explicit Camera(QString folder) : folder_(std::move(folder)) {}

    bool save(QWidget* widget, const QString& name) {
        QApplication::processEvents();
        const QString file = QDir(folder_).filePath(name + ".png");
        // Quality 0: the smallest file PNG's lossless compression gives.
        const bool saved = widget->grab().save(file, "PNG", 0);
        if (!saved) std::fprintf(stderr, "ks_screenshots: cannot write %s\n", qPrintable(file));
        const QStringList problems = fitProblems(widget);
        for (const QString& problem : problems) {
            std::fprintf(stderr, "ks_screenshots: %s does not fit: %s\n", qPrintable(name),
                         qPrintable(problem));
        }
        const bool fine = saved && problems.isEmpty();
        failures_ += fine ? 0 : 1;
        return fine;
    }

    // Runs `open`, which shows a modal dialog and waits for it; once the
    // dialog is up it is saved as `name`, `inside` runs while it is open,
    // and it closes as cancelled.
    void modal(const QString& name, const std::function<void()>& open,
               const std::function<void(QDialog*)>& inside = {}) {
        QWidget* outer = QApplication::activeModalWidget();
        auto* poll = new QTimer;
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, [=, this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog == outer || !dialog->isVisible()) return;
            poll->stop();
            poll->deleteLater();
            save(dialog, name);
            if (inside) inside(dialog);
            dialog->done(QDialog::Rejected);
        });
        poll->start();
        open();
    }

    int failures() const { return failures_; }

private:
    QString folder_;
    int failures_ = 0;
};

CommandRecord command(std::uint32_t id, std::vector<CommandValue> values) {
    return CommandRecord(id, std::move(values));
}

void seed(KeyTree& tree, SettingsStore& store) {
    MacroDocument greet;
    greet.name = "Greeting";
    greet.vk = 'G';
    greet.modifiers = 3;  // Ctrl+Alt
    greet.hotKeyId = 1;
    greet.commands = {
        command(kWaitForWindow, {{"WindowName", std::string("*Editor*")}}),
        command(kSendKeys, {{"Keys", std::string("Hello from Keystrider")}}),
        command(kDelay, {{"DelayInterval", std::string("500")}}),
        command('A', {{"KeyPressed", 0u}}),
        command('A', {{"KeyPressed", 2u}}),
        command(kMoveMousePointer, {{"IsAB", 1u},
                                    {"XABCoord", std::string("32767")},
                                    {"YABCoord", std::string("32767")},
                                    {"XRELCoord", std::string("0")},
                                    {"YRELCoord", std::string("0")}}),
        command(kLeftButtonDown, {}),
        command(kLeftButtonUp, {}),
    };
    MacroDocument backup;
    backup.name = "Nightly backup";
    backup.vk = 0x78;  // F9
    backup.modifiers = 2;
    backup.hotKeyId = 2;
    backup.commands = {command(kRun, {{"FileName", std::string("/usr/bin/rsync")},
                                      {"Arguments", std::string("-a ~/work /backup")}})};
    writeMacro(tree, greet);
    writeMacro(tree, backup);
    const std::vector<JournalEvent> events{
        {kWmMouseMove, 200, 150, 0, 0},          {kWmLButtonDown, 200, 150, 120, 0},
        {kWmLButtonUp, 200, 150, 80, 0},         {kWmKeyDown, 'H' | (35u << 8), 35, 300, 0},
        {kWmKeyUp, 'H' | (35u << 8), 35, 90, 0},
    };
    WriteRecording(store, "Log in", events, 1);
}

void select(QTreeWidget* list, int row) {
    list->clearSelection();
    list->topLevelItem(row)->setSelected(true);
}

// Clicks the first "..." button of `dialog`, which opens its picker.
void browse(QDialog* dialog) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String("...")) return button->click();
    }
}

void shootParameterDialogs(Camera& camera, Shell& shell, QWidget* parent) {
    // Staged window titles, so that the picker shows the same ones on every run.
    struct StagedSources final : ParameterSources {
        explicit StagedSources(Shell& shell) : shell_(shell) {}
        std::vector<std::string> windowTitles() override {
            return {"Terminal - ~/work", "notes.txt - Text Editor", "Task Bar"};
        }
        std::vector<RecordingRow> recordings() override { return listRecordings(shell_.store()); }
        void showHelp(std::uint32_t) override {}
        Shell& shell_;
    } sources(shell);
    const Desktop& desktop = shell.services().desktop;
    const ParameterHooks hooks{sources, desktop.dialogs, pickServices(shell, *parent),
                               desktop.windows};
    for (const CommandInfo& info : commandTable()) {
        if (!hasParameters(info.id)) continue;
        QString name = QString::fromUtf8(info.name).toLower();
        name.replace(' ', '-');
        CommandRecord record(info.id);
        std::function<void(QDialog*)> inside;
        if (info.id == kWaitForWindow) {
            inside = [&camera](QDialog* dialog) {
                camera.modal("window-picker", [dialog] { browse(dialog); });
            };
        }
        camera.modal(
            "command-" + name, [&] { editParameters(record, shell.messages(), hooks, parent); },
            inside);
    }
}

void shootExchangeDialogs(Camera& camera, MainWindow& window) {
    camera.modal("export-macros", [&] { window.exportSelected(ExportKind::Macros); });
    camera.modal("import-recordings", [&] { window.importFromFile(ExportKind::Recordings); });
    camera.modal("import-choice", [&] {
        chooseImportItems(&window, "Keystrider - Macro List", {"Greeting", "Nightly backup"});
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: ks_screenshots OUTPUT_DIR\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fputs("ks_screenshots: no folder to work in\n", stderr);
        return 1;
    }
    auto platform = x11::X11Platform::open();
    if (!platform) {
        std::fprintf(stderr, "ks_screenshots: %s\n", platform.error().c_str());
        return 1;
    }
    KeyTree tree(folder.filePath("store.db").toStdString());
    QtMessages messages;
    SettingsStore store(tree, messages);
    store.EnsureRootKeys();
    seed(tree, store);
    struct NoFront final : ProgramFront {
        void shutdown() override {}
        void runCommandLineMacro() override {}
        MainWindow* mainWindow() override { return nullptr; }
    } front;
    Engine engine(store, messages, **platform, front);
    Shell shell(store, engine.services(), {});
    shell.readOptions();
    shell.startPhraseWatch();
    MainWindow window(shell);
    messages.setMainWindow(&window);
    if (!window.initialise()) return 1;
    window.show();

    Camera camera(QString::fromLocal8Bit(argv[1]));
    // A box nobody answers would wait for ever.
    QTimer::singleShot(kTimeLimit, [] {
        std::fputs("ks_screenshots: a window did not come up or go away in time\n", stderr);
        std::_Exit(1);
    });
    QTimer::singleShot(200, [&] {
        camera.save(&window, "main-window");
        select(window.macroList(), 0);
        camera.modal("macro-editor", [&] { window.editSelectedMacro(); });
        shootParameterDialogs(camera, shell, &window);
        QtClock clock;
        ScheduleDialog schedules({}, shell.messages(), clock, &window);
        schedules.show();
        camera.save(&schedules, "schedule");
        schedules.hide();
        shootExchangeDialogs(camera, window);
        select(window.recordingList(), 0);
        camera.modal(
            "recording-editor", [&] { window.editRecording(); },
            [&](QDialog* editor) {
                camera.modal("recording-event",
                             [editor] { static_cast<RecordingEditor*>(editor)->addClicked(); });
            });
        camera.modal("options", [&] { window.showOptions(); });
        camera.modal("record", [&] { window.addRecording(); });
        camera.modal("about", [&] { window.showAbout(); });
        shell.guide().open(kGuideTop);
        for (QWidget* help : QApplication::topLevelWidgets()) {
            if (help->isVisible() && help->windowTitle() == QLatin1String("Keystrider - Help")) {
                camera.save(help, "help");
                help->close();
            }
        }
        QApplication::exit(camera.failures() == 0 ? 0 : 1);
    });
    return QApplication::exec();
}
