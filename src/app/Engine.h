#pragma once

#include <memory>

#include "app/ShellHooks.h"
#include "commands/CommandDispatch.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "journal/Player.h"
#include "journal/PlayerHost.h"
#include "keys/KeyboardMouseCommands.h"
#include "net/RemoteClipboard.h"
#include "net/RequestServer.h"
#include "platform/Platform.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtLoginPrompt.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"
#include "system/DateTimeCommands.h"
#include "system/DialogCommands.h"
#include "system/SystemCommands.h"
#include "system/WindowCommands.h"
#include "text/TextCommands.h"
#include "triggers/HookThread.h"
#include "triggers/TriggerRegistry.h"

namespace ks {

class Application;
class MainWindow;

// The services that run macros on the GUI thread — message queue, variable
// table, expansion, command handlers and the runner — put together, and
// joined to the application shell through its hooks.
class Engine final : private PlayerHost {
public:
    // Every desktop service comes from `platform`.
    Engine(SettingsStore& store, Messages& messages, Platform& platform);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Fills the hooks through which the shell starts macros and asks about runs.
    void connectHooks(ShellHooks& hooks);
    // What needs the application object itself: SHUTDOWN KEYSTRIDER and the
    // command-line macro message.
    void connectApplication(Application& application);

    ApplicationQueue& queue() { return queue_; }
    MacroRunner& runner() { return runner_; }
    ExpansionEngine& expansion() { return expansion_; }
    TriggerRegistry& triggers() { return triggers_; }

private:
    bool postStartMacro(const std::string& macro);
    MainWindow* mainWindow();
    bool openServer(std::uint32_t port);
    std::optional<std::vector<std::string>> importPosted(const XmlDocument& document,
                                                         const std::string& peer);

    // What the player asks of the run it belongs to.
    std::uint64_t currentRun() override;
    void postRunStep(std::uint64_t run) override;
    void endRun(std::uint64_t run) override;
    bool raiseMainWindow() override;
    void postStopRun() override;

    SettingsStore& store_;
    Messages& messages_;
    ApplicationQueue queue_;
    QtClock clock_;
    Platform& platform_;
    VariableTable variables_;
    ExpansionEngine expansion_;
    CommandDispatch dispatch_;
    MacroRunner runner_;
    KeyboardMouseCommands inputCommands_;
    TextCommands textCommands_;
    QtDialogs dialogs_;
    DialogCommands dialogCommands_;
    QtLoginPrompt loginPrompt_;
    SystemCommands systemCommands_;
    WindowCommands windowCommands_;
    DateTimeCommands dateTimeCommands_;
    Player player_;
    TriggerRegistry triggers_;
    RequestServer server_;
    RemoteClipboardCommand remoteClipboard_;
    HookThread* hookThread_ = nullptr;  // while the shell holds the keyboard-watch thread
    Application* application_ = nullptr;
};

}  // namespace ks
