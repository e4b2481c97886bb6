#pragma once

#include <chrono>

namespace ks {

// What command handlers may ask of the macro run they execute in: the
// waiting commands wait through it, keeping the user interface alive and
// noticing a stop at once; the player continues or ends the run with it.
class RunControl {
public:
    RunControl() = default;
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;
    virtual ~RunControl() = default;

    virtual bool RunActive() const = 0;
    // Ends the run (and removes the player's cancel watcher, run or not).
    virtual void EndRun() = 0;
    // Asks for the run to go on with its next position, as the player does
    // when the last event of a recording has been played. False when the
    // message could not be posted.
    virtual bool PostRunStep() = 0;
    // Handles every message and event that waits now.
    virtual void PumpAllMessages() = 0;
    // Lets messages through until a stop request waits no longer.
    virtual void PumpStopRequests() = 0;
    // Handles messages and events for `duration`, or until the run ends if
    // that comes first; true when the run is still active.
    virtual bool WaitWhileRunning(std::chrono::milliseconds duration) = 0;
};

}  // namespace ks
