#pragma once

#include <chrono>
#include <cstdint>

namespace ks {

// Every macro run is numbered when it starts, from 1 upward; 0 is no run.
// Whatever acts for a run (its stepping, DELAY, a waiting command, the
// player) holds the run's generation and acts only while that run is the one
// under way, so that a run started from a nested event loop is never
// ignored, held up or ended by an older one still on the stack.
using RunGeneration = std::uint64_t;

// What command handlers may ask of the macro run they execute in: the
// waiting commands wait through it, keeping the user interface alive and
// noticing a stop at once; the player continues or ends the run with it.
class RunControl {
public:
    RunControl() = default;
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;
    virtual ~RunControl() = default;

    bool runActive() const { return currentRun() != 0; }
    // The generation of the run under way; 0 when none is.
    virtual RunGeneration currentRun() const = 0;
    // Ends the run (and removes the player's cancel watcher, run or not).
    virtual void EndRun() = 0;
    // Ends `run` if it is still the one under way; otherwise does nothing.
    virtual void EndRun(RunGeneration run) = 0;
    // Asks for `run` to go on with its next position, as the player does
    // when the last event of a recording has been played; the step is
    // dropped if that run is over by the time it arrives. False when the
    // message could not be posted.
    virtual bool postRunStep(RunGeneration run) = 0;
    // Handles every message and event that waits now.
    virtual void PumpAllMessages() = 0;
    // Lets messages through until a stop request waits no longer.
    virtual void PumpStopRequests() = 0;
    // Handles messages and events for `duration`, or until the run of the
    // command that waits is over if that comes first; true when that run
    // is still under way.
    virtual bool waitWhileRunning(std::chrono::milliseconds duration) = 0;
    // Ends the innermost waitWhileRunning early, as when what its command
    // waits for has come; the command looks again and waits on if need be.
    // Called from the event loop that wait runs.
    virtual void wakeWait() {}
};

}  // namespace ks
