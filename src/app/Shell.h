#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/HelpWindow.h"
#include "app/ProgramServices.h"
#include "core/Messages.h"
#include "editors/EditorClipboards.h"
#include "journal/JournalEvent.h"
#include "triggers/TriggerRegistry.h"

namespace ks {

class Messages;
class SettingsStore;

// The mouse button whose release picks a point on the screen (SPMouse)
// until the user chooses another.
inline constexpr std::uint32_t kDefaultPickButton = kWmRButtonUp;

// The process-wide switches read from the options at start and changed by
// the Options dialog and the tray menu. The hot-key switch is the hot-key
// table's own.
struct Switches {
    bool server = false;
    bool prompt = false;
    bool expansion = false;
    bool scheduler = false;
    bool phrases = false;
    std::uint32_t specialMouse = kDefaultPickButton;  // the button-up message that picks a point
};

// The program's state between start-up and exit, apart from its windows:
// options and switches, the triggers, the keyboard-watch thread and the
// hand-over of a command-line macro. GUI thread only.
class Shell {
public:
    Shell(SettingsStore& store, ProgramServices services, std::string commandLine);
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    SettingsStore& store() { return store_; }
    Messages& messages();
    TriggerRegistry& triggers() { return services_.triggers; }
    HotKeyTable& hotKeys() { return services_.triggers.hotKeys(); }
    Switches& switches() { return switches_; }
    // Sets the expansion switch in memory, for the shell and the engine.
    void setExpansion(bool on);
    const ProgramServices& services() const { return services_; }
    const std::string& commandLine() const { return commandLine_; }
    EditorClipboards& clipboards() { return clipboards_; }
    Guide& guide() { return guide_; }

    // Reads the options into the switches and opens the server when it is
    // on. False when the server could not be opened: the program ends.
    bool readOptions();
    // Creates the keyboard-watch thread and lets it watch when phrases are on.
    void startPhraseWatch();

    // Hands the command line, when there is one, to this copy's own queue.
    void handCommandLineToSelf();
    // Runs the macro named in CmdLineMacro.
    void runCommandLineMacro();

    // The shutdown steps after the tray icon has gone. True when the main
    // window may end now; false while the keyboard-watch thread is ending
    // (its end comes as a message and shutdown runs again).
    bool shutdown();
    // After the main window has ended.
    void finish();

    // Writes one option; shows the failure (owned by the main window).
    bool writeOption(std::string_view name, std::uint32_t value);
    bool writeTextOption(std::string_view name, std::string_view text);
    // Tells the keyboard-watch thread to stop watching and, when `watch`,
    // to start again. Shows a failed post or a thread that never started.
    void restartPhraseWatch(bool watch);
    // Closes the request server's listener and opens it on `port` when the
    // server is on.
    void reopenServer(std::uint32_t port);
    // Macros pushed from `peer` are imported from now on (SrvPushPeers).
    void acceptPushesFrom(const std::string& peer);
    void closeServer();
    bool openServer(std::uint32_t port);
    void setScheduler(bool on);

private:
    void showError(const std::string& text, const char* title, MsgIcon icon,
                   MsgOwner owner = MsgOwner::None);
    bool reportedWrite(bool written);

    SettingsStore& store_;
    ProgramServices services_;
    std::string commandLine_;
    Switches switches_;
    std::unique_ptr<PhraseWatch> hookThread_;
    // A thread told to end lives on until the program exits.
    std::unique_ptr<PhraseWatch> endingHookThread_;
    bool serverOpen_ = false;
    EditorClipboards clipboards_;
    Guide guide_;
};

// The option value at the store's root, read directly.
std::optional<std::uint32_t> readOption(SettingsStore& store, std::string_view name);

}  // namespace ks
