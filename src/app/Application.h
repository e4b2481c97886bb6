#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <string>

#include "app/ShellHooks.h"

namespace ks {

class InstanceMarker;
class MainWindow;
class Platform;
class QtMessages;
class SettingsStore;
class Shell;
class TriggerRegistry;

// The program's life: the start-up procedure, the hand-over to a copy that
// already runs, the main window's loop, and the exit.
class Application final : public QObject {
public:
    // The hot keys come from `platform`, asked for only once this copy is the
    // one that runs.
    Application(SettingsStore& store, QtMessages& messages, Platform& platform,
                TriggerRegistry& triggers, ShellHooks hooks, std::string commandLine);
    ~Application() override;

    // Runs the start-up procedure and the main window until shutdown;
    // returns the exit status.
    int Run();

    // The keyboard-watch thread has ended: shutdown goes on.
    void HookThreadEnded();
    // Shutdown as the tray menu's "Shutdown" does it.
    void Shutdown();

    Shell* shell() { return shell_.get(); }
    MainWindow* mainWindow() { return window_.get(); }

    // Called once the hot keys are registered and the window is ready.
    std::function<void()> onReady;

private:
    int handOver(const QString& markerPath);
    void showWithoutTray();
    void watchTerminationSignals();

    SettingsStore& store_;
    QtMessages& messages_;
    Platform& platform_;
    TriggerRegistry& triggers_;
    ShellHooks hooks_;
    std::string commandLine_;
    std::unique_ptr<InstanceMarker> marker_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QSocketNotifier> signalNotifier_;
    bool ended_ = false;
};

}  // namespace ks
