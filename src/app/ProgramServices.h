#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ks {

class CancelWatch;
class Clock;
class Dialogs;
class InputCapture;
class InputInjector;
class KeyDisplayNames;
class Keymap;
class MainWindow;
class Messages;
class TriggerRegistry;
class WindowControl;

// Macro runs as the windows, the triggers and the command line start them.
class MacroRuns {
public:
    MacroRuns() = default;
    MacroRuns(const MacroRuns&) = delete;
    MacroRuns& operator=(const MacroRuns&) = delete;
    virtual ~MacroRuns() = default;

    // Posts a start request for `macro` to the GUI thread's queue, where the
    // runner picks it up. False when the post failed.
    virtual bool start(const std::string& macro) = 0;
    virtual bool active() = 0;
    // Posts "run the macro named in CmdLineMacro" to the GUI thread's own
    // queue; it arrives at Shell::runCommandLineMacro. False when it failed.
    virtual bool postCommandLineMacro() = 0;
    // Whether the commands' texts are expanded when they run.
    virtual void setExpansion(bool on) = 0;

    // No macro starts while a mark lives; when it ends, the mark it
    // replaced is back (an editor opened from a busy window stays busy).
    class BusyMark {
    public:
        explicit BusyMark(MacroRuns& runs) : runs_(runs), was_(runs.exchangeBusy(true)) {}
        ~BusyMark() { runs_.exchangeBusy(was_); }
        BusyMark(const BusyMark&) = delete;
        BusyMark& operator=(const BusyMark&) = delete;

    private:
        MacroRuns& runs_;
        bool was_;
    };
    [[nodiscard]] BusyMark markBusy() { return BusyMark(*this); }

private:
    // Sets the busy mark and answers the mark it replaces.
    virtual bool exchangeBusy(bool busy) = 0;
};

// The request server's listener.
class ServerListener {
public:
    ServerListener() = default;
    ServerListener(const ServerListener&) = delete;
    ServerListener& operator=(const ServerListener&) = delete;
    virtual ~ServerListener() = default;

    // False when it could not listen (the server has shown its own message then).
    virtual bool open(std::uint32_t port) = 0;
    virtual void close() = 0;
};

// The keyboard-watch thread as the shell drives it. Each post returns false
// when the message could not be posted.
class PhraseWatch {
public:
    PhraseWatch() = default;
    PhraseWatch(const PhraseWatch&) = delete;
    PhraseWatch& operator=(const PhraseWatch&) = delete;
    virtual ~PhraseWatch() = default;

    virtual bool postStartWatching() = 0;  // watch the keyboard for typed phrases
    virtual bool postStopWatching() = 0;
    // Ask the thread to end; its end arrives as a message and shutdown goes on.
    virtual bool postEnd() = 0;
};

class PhraseWatches {
public:
    PhraseWatches() = default;
    PhraseWatches(const PhraseWatches&) = delete;
    PhraseWatches& operator=(const PhraseWatches&) = delete;
    virtual ~PhraseWatches() = default;

    // Creates and starts the keyboard-watch thread; null when it could not be created.
    virtual std::unique_ptr<PhraseWatch> startThread() = 0;
};

// What the engine asks of the program's windows.
class ProgramFront {
public:
    ProgramFront() = default;
    ProgramFront(const ProgramFront&) = delete;
    ProgramFront& operator=(const ProgramFront&) = delete;
    virtual ~ProgramFront() = default;

    // SHUTDOWN KEYSTRIDER, and the keyboard-watch thread's end on the way out.
    virtual void shutdown() = 0;
    virtual void runCommandLineMacro() = 0;
    // Null before the window exists and after it has gone.
    virtual MainWindow* mainWindow() = 0;
};

// Exports posted to a peer's request server through the program's one peer client.
class PeerExports {
public:
    PeerExports() = default;
    PeerExports(const PeerExports&) = delete;
    PeerExports& operator=(const PeerExports&) = delete;
    virtual ~PeerExports() = default;

    // The reply's body; nothing when the post failed (shown through `shownTo`).
    virtual std::optional<std::string> post(Messages& shownTo, const std::string& host,
                                            const std::string& port, const std::string& body) = 0;
};

// The desktop as the main window and the editors work with it.
struct Desktop {
    Clock& clock;
    Keymap& keymap;
    KeyDisplayNames& keyNames;  // the keymap's, as the editor shows keystroke commands
    WindowControl& windows;
    InputCapture& capture;
    CancelWatch& recordCancelWatch;  // the recorder's own Ctrl+Break watch
    InputInjector& injector;         // moves the pointer to a point about to be picked
    Dialogs& dialogs;                // shows a prompt window as PROMPT USER will
};

// What main builds and owns for the shell and its windows.
struct ProgramServices {
    MacroRuns& runs;
    TriggerRegistry& triggers;
    ServerListener& server;
    PhraseWatches& phraseWatches;
    PeerExports& peers;
    Desktop desktop;
};

}  // namespace ks
