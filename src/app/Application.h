#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <string>

#include "app/Engine.h"
#include "app/InstanceMarker.h"
#include "app/ProgramServices.h"

namespace ks {

class MainWindow;
class Platform;
class QtMessages;
class SettingsStore;
class Shell;
class TriggerRegistry;

// The program's life: the start-up procedure, the hand-over to a copy that
// already runs, the main window's loop, and the exit.
class Application final : public QObject, public ProgramFront, public LaterCopyRequests {
public:
    // The hot keys come from `platform`, asked for only once this copy is the
    // one that runs.
    Application(SettingsStore& store, QtMessages& messages, Platform& platform,
                std::string commandLine);
    ~Application() override;

    // Runs the start-up procedure and the main window until shutdown;
    // returns the exit status.
    int run(ProgramServices services);

    // Shutdown as the tray menu's "Shutdown" does it.
    void shutdown() override;
    void runCommandLineMacro() override;
    // A later copy's: the window shows, unless the tray icon is there to be found by.
    void showWindow() override;
    MainWindow* mainWindow() override { return window_.get(); }

private:
    int runFirstCopy(ProgramServices services);
    int handOver(const QString& markerPath);
    void showWithoutTray();
    void tellStartupNotice();
    void watchTerminationSignals();

    SettingsStore& store_;
    QtMessages& messages_;
    Platform& platform_;
    std::string commandLine_;
    std::unique_ptr<InstanceMarker> marker_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QSocketNotifier> signalNotifier_;
    bool ended_ = false;
};

// Whether `notice` differs from the last one remembered in `store`, which
// from now on remembers it.
bool rememberNewNotice(SettingsStore& store, const std::string& notice);

}  // namespace ks
