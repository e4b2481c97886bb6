#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ks {

class CancelWatch;
class Clock;
class Dialogs;
class InputCapture;
class InputInjector;
class Keymap;
class Messages;
class WindowControl;

// What the macro editor works with beyond the shell.
struct EditorDesktop {
    Clock* clock = nullptr;
    Keymap* keymap = nullptr;
    WindowControl* windows = nullptr;
    Dialogs* dialogs = nullptr;  // shows a prompt window as PROMPT USER will
};

// The desktop services the recorder works with; all set, or none when the
// desktop cannot be recorded.
struct RecordingDesktop {
    WindowControl* windows = nullptr;
    Keymap* keymap = nullptr;
    InputCapture* capture = nullptr;
    CancelWatch* cancelWatch = nullptr;
    InputInjector* injector = nullptr;  // moves the pointer to a point about to be picked
};

// The keyboard-watch thread as the shell drives it. Each post returns false
// when the message could not be posted.
class HookThreadControl {
public:
    HookThreadControl() = default;
    HookThreadControl(const HookThreadControl&) = delete;
    HookThreadControl& operator=(const HookThreadControl&) = delete;
    virtual ~HookThreadControl() = default;

    virtual bool postInstallHooks() = 0;  // start watching typed phrases
    virtual bool postRemoveHooks() = 0;   // stop watching typed phrases
    // Ask the thread to end; it answers through Shell::HookThreadEnded.
    virtual bool postEnd() = 0;
};

// Where the rest of the program plugs into the shell. Every member may be
// left empty: the shell then does without that part (no server, no hook
// thread).
struct ShellHooks {
    // Posts a start request for `macro` to the GUI thread's queue, where the
    // runner picks it up. False when the post failed.
    std::function<bool(const std::string& macro)> postStartMacro;
    // Whether a macro run is active.
    std::function<bool()> runActive;
    // Posts "run the macro named in CmdLineMacro" to the GUI thread's own
    // queue; it arrives at Shell::CommandLineMacro. False when it failed.
    std::function<bool()> postCommandLineMacro;

    // The expansion switch changed (read at start, or saved in the Options dialog).
    std::function<void(bool on)> expansionChanged;

    // Opens the request server's listener; false when it could not (the
    // server has shown its own message then).
    std::function<bool(std::uint32_t port)> openServer;
    std::function<void()> closeServer;

    // Creates and starts the keyboard-watch thread; null when it could not be created.
    std::function<std::unique_ptr<HookThreadControl>()> createHookThread;

    // Sets the busy mark (no macro starts while it is set) and answers the
    // mark it replaces.
    std::function<bool(bool busy)> exchangeBusy;
    std::function<RecordingDesktop()> recordingDesktop;
    std::function<EditorDesktop()> editorDesktop;
    // Posts an export to a peer through the program's one peer client; what
    // goes wrong is shown through `shownTo`.
    std::function<std::optional<std::string>(Messages& shownTo, const std::string& host,
                                             const std::string& port, const std::string& body)>
        postToPeer;

    // Shutdown and exit steps owned by the recording editor and the player.
    std::function<void()> releaseEventClipboard;
    std::function<void()> releasePlayerBuffer;
};

}  // namespace ks
