#pragma once

#include <cstdint>

namespace ks {

// What the player needs from the macro runner and the main window. Runs are
// named by the runner's generation numbers (0: no run), so a playback that
// outlives its run never continues or ends a later one.
class PlayerHost {
public:
    PlayerHost() = default;
    PlayerHost(const PlayerHost&) = delete;
    PlayerHost& operator=(const PlayerHost&) = delete;
    virtual ~PlayerHost() = default;

    // The run whose command starts the playback.
    virtual std::uint64_t currentRun() = 0;
    // Posts run step for `run`: it goes on with its next command, if it is
    // still the run under way when the step arrives.
    virtual void postRunStep(std::uint64_t run) = 0;
    // Ends `run` at once (EndRun), without a message, if it is still under way.
    virtual void endRun(std::uint64_t run) = 0;
    // Brings the main window to the foreground; false when there is none.
    virtual bool raiseMainWindow() = 0;
    // Posts the user's cancel to the main window, handled like stop run
    // (StopRun: "Macro has been terminated by the user!").
    virtual void postStopRun() = 0;
};

}  // namespace ks
