#pragma once

#include <memory>

#include "app/ProgramServices.h"
#include "commands/CommandDispatch.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "journal/Player.h"
#include "journal/PlayerHost.h"
#include "keys/KeyNames.h"
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

// The services that run macros on the GUI thread — message queue, variable
// table, expansion, command handlers and the runner — put together, and the
// trigger tables, request server and keyboard-watch thread they answer.
class Engine final : private PlayerHost,
                     private MacroRuns,
                     private ServerListener,
                     private PhraseWatches,
                     private PeerExports {
public:
    // Every desktop service comes from `platform`.
    Engine(SettingsStore& store, Messages& messages, Platform& platform, ProgramFront& front);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // What the shell and its windows start macros, fill trigger columns and
    // reach the desktop through.
    ProgramServices services();

private:
    void handleWindowMessages();
    std::optional<std::vector<std::string>> importPosted(const XmlDocument& document,
                                                         const std::string& peer);

    // What the player asks of the run it belongs to.
    std::uint64_t currentRun() override;
    void postRunStep(std::uint64_t run) override;
    void endRun(std::uint64_t run) override;
    bool raiseMainWindow() override;
    void postStopRun() override;

    bool start(const std::string& macro) override;
    bool active() override;
    bool postCommandLineMacro() override;
    void setExpansion(bool on) override;
    bool exchangeBusy(bool busy) override;

    // Only this machine's programs reach the server until the user names the
    // peers it serves or opens it to every address.
    bool open(std::uint32_t port) override;
    void close() override;

    std::unique_ptr<PhraseWatch> startThread() override;

    std::optional<std::string> post(Messages& shownTo, const std::string& host,
                                    const std::string& port, const std::string& body) override;

    SettingsStore& store_;
    Messages& messages_;
    ProgramFront& front_;
    ApplicationQueue queue_;
    QtClock clock_;
    Platform& platform_;
    KeymapKeyNames keyNames_;
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
};

}  // namespace ks
