#pragma once

namespace ks {

// What the player needs from the macro runner and the main window.
class PlayerHost {
public:
    PlayerHost() = default;
    PlayerHost(const PlayerHost&) = delete;
    PlayerHost& operator=(const PlayerHost&) = delete;
    virtual ~PlayerHost() = default;

    // Posts run step: the run goes on with its next command.
    virtual void postRunStep() = 0;
    // Ends the active run at once (EndRun), without a message.
    virtual void endRun() = 0;
    // Brings the main window to the foreground; false when there is none.
    virtual bool raiseMainWindow() = 0;
    // Posts the user's cancel to the main window, handled like stop run
    // (StopRun: "Macro has been terminated by the user!").
    virtual void postStopRun() = 0;
};

}  // namespace ks
