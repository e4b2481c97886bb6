#include "app/Application.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <csignal>
#include <cstdio>

#include "app/InstanceMarker.h"
#include "app/MainWindow.h"
#include "app/Shell.h"
#include "platform/Platform.h"
#include "platform/qt/QtMessages.h"
#include "store/LayoutConversion.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr const char* kAppErrorTitle = "Keystrider - Error";
// The stored text of the last notice of what the desktop cannot do.
constexpr const char* kShownNotice = "PlatformNotice";

// Written by the signal handler, read on the GUI thread.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

}  // namespace

Application::Application(SettingsStore& store, QtMessages& messages, Platform& platform,
                         std::string commandLine)
    : store_(store),
      messages_(messages),
      platform_(platform),
      commandLine_(std::move(commandLine)) {}

Application::~Application() = default;

int Application::run(ProgramServices services) {
    // On a first start nothing exists yet; the conversion would report the
    // missing Macros key instead of converting nothing.
    if (!store_.tree().keyExists(StoreKey::macros().direct())) store_.EnsureRootKeys();
    ConvertStoreLayout(store_);

    QString problem;
    const QString folder =
        privateRuntimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), problem);
    const QString markerPath = QDir(folder).filePath(instanceName({}));
    marker_ = std::make_unique<InstanceMarker>(markerPath, *this);
    switch (folder.isEmpty() ? InstanceMarker::Claim::Failed : marker_->claim()) {
        case InstanceMarker::Claim::Failed:
            if (problem.isEmpty()) problem = marker_->error();
            std::fprintf(stderr, "keystrider: %s\n", qPrintable(problem));
            messages_.show("Error creating mapping", kAppErrorTitle, MsgIcon::Stop);
            return 1;
        case InstanceMarker::Claim::Running: return handOver(markerPath);
        case InstanceMarker::Claim::First: break;
    }
    const int status = runFirstCopy(services);
    // The shell works through the services, which main ends right after this.
    messages_.setMainWindow(nullptr);
    window_.reset();
    shell_.reset();
    return status;
}

int Application::runFirstCopy(ProgramServices services) {
    shell_ = std::make_unique<Shell>(store_, services, commandLine_);
    platform_.hotKeys().setPressedHandler([this](std::int32_t id) { shell_->hotKeys().fire(id); });
    window_ = std::make_unique<MainWindow>(*shell_);
    messages_.setMainWindow(window_.get());

    if (!shell_->readOptions()) return 1;
    shell_->startPhraseWatch();

    QApplication::setQuitOnLastWindowClosed(false);
    // Shutdown may come while a box of the start-up is open, before the loop runs.
    window_->onEnded = [this] {
        ended_ = true;
        QCoreApplication::exit(0);
    };
    watchTerminationSignals();
    if (!window_->initialise()) {
        shell_->finish();
        return 1;
    }
    showWithoutTray();
    tellStartupNotice();
    const int status = ended_ ? 0 : QCoreApplication::exec();
    window_.reset();
    shell_->finish();
    return status;
}

bool rememberNewNotice(SettingsStore& store, const std::string& notice) {
    const std::string root = StoreKey::root().direct();
    if (store.GetText(root, kShownNotice) == notice) return false;
    store.SetText(root, kShownNotice, notice);
    return true;
}

// What the desktop cannot do is told at every start on standard error, and
// in a box only when it is new: a user who read it once is not stopped by it
// at every login.
void Application::tellStartupNotice() {
    const std::string notice = platform_.startupNotice();
    if (notice.empty()) return;
    const MessageBox box{notice, "Keystrider", MsgIcon::Information};
    if (rememberNewNotice(store_, notice)) {
        messages_.show(box);  // which writes its line to standard error too
    } else {
        std::fprintf(stderr, "%s\n", messageLine(box).c_str());
    }
}

// Started from a menu on a desktop without a notification area, the program
// would otherwise show nothing at all. A tray that appears later is kept to
// from then on (closing the window hides it there). A macro named on the
// command line may type into the focused window, so the window then shows
// without taking the focus.
void Application::showWithoutTray() {
    if (window_->hasTray()) return;
    if (commandLine_.empty()) return window_->showInFront();
    window_->setAttribute(Qt::WA_ShowWithoutActivating);
    window_->showNormal();
    window_->setAttribute(Qt::WA_ShowWithoutActivating, false);
}

// A later copy: the first one runs the command line's macro, or shows its
// window when it has no tray icon to be found by.
int Application::handOver(const QString& markerPath) {
    RunningCopy first(markerPath);
    const bool reached = first.connect();
    if (commandLine_.empty()) {
        if (reached) first.send(InstanceMarker::kShowWindow);
        return 0;
    }
    if (reached) {
        if (!store_.SetText(StoreKey::macros().direct(), "CmdLineMacro", commandLine_)) {
            messages_.show("Error writing to registry.", kAppErrorTitle, MsgIcon::Stop);
            return 1;
        }
        if (first.send(InstanceMarker::kCommandLineMacro)) return 0;
    }
    messages_.show("Error posting message to currently running copy of Keystrider.", kAppErrorTitle,
                   MsgIcon::Stop);
    return 1;
}

// SIGTERM and SIGINT end the program as the tray's "Shutdown" does.
void Application::watchTerminationSignals() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    signalNotifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(signalNotifier_.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = read(signalPipe[0], &byte, 1);
        shutdown();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void Application::shutdown() {
    if (window_) window_->shutdown();
}

void Application::runCommandLineMacro() {
    if (shell_) shell_->runCommandLineMacro();
}

void Application::showWindow() {
    if (window_ && !window_->hasTray()) window_->showInFront();
}

}  // namespace ks
