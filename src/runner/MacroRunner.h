#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/CommandDispatch.h"
#include "core/Messages.h"
#include "expand/Expander.h"
#include "platform/Clock.h"
#include "runner/MessageQueue.h"
#include "runner/PendingRequest.h"
#include "runner/RunControl.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

class QEventLoop;

namespace ks {

// One open REPEAT: its number of passes, the position after the REPEAT, and
// the passes completed.
struct RepeatFrame {
    std::int32_t count = 0;
    std::int32_t returnPosition = 0;
    std::int32_t done = 0;
};

struct RunState {
    RunGeneration generation = 0;  // 0 while no run is active
    std::string macroName;
    std::int32_t nextPosition = 0;
    std::uint32_t passesWanted = 0;
    std::uint32_t passesDone = 0;
};

// Runs one macro at a time on the GUI thread. It reads each command's
// identifier and values from the store at the moment the command runs, hands
// the command to its handler, and executes the control commands DELAY,
// PAUSE, REPEAT and LOOP itself. Between two commands only stop requests get
// through; DELAY and the waiting commands keep the whole event loop running.
//
// It handles run macro by name, run step, stop run and cancelled capture
// from the message queue it is given. A run's stepping, its DELAY, its
// waiting commands and their failures act for their own generation only.
class MacroRunner final : public RunControl {
public:
    static constexpr std::chrono::milliseconds kPassStartWait{300};

    MacroRunner(SettingsStore& store, Messages& messages, Expander& expander,
                ApplicationQueue& queue, CommandDispatch& dispatch, Clock& clock);
    ~MacroRunner() override;

    // Starts the named macro unless a run is active or the user declines.
    // A name without a macro runs an empty list. The pass-start wait lets
    // the keys of a hot key go; when the keys that started the macro are up
    // already, its first pass starts at once.
    void RunMacroByName(std::string name, bool keysReleased = false);
    // Starts a pass: after the pass-start wait, run step is posted.
    void StartRun();
    // Executes commands of `run` from the next position until the pass ends,
    // the run ends, or a command hands the run over.
    void RunSteps(RunGeneration run);
    // Ends the active run and tells the user.
    void StopRun();

    RunGeneration currentRun() const override { return run_.generation; }
    void EndRun() override;
    void EndRun(RunGeneration run) override;
    bool postRunStep(RunGeneration run) override;
    void PumpAllMessages() override;
    void PumpStopRequests() override;
    bool waitWhileRunning(std::chrono::milliseconds duration) override;
    void wakeWait() override;
    // Handles messages and events for `duration`, for what waits outside any
    // run (an export to a peer); a run started meanwhile goes on in it.
    // False once the application quits.
    bool waitOutsideRuns(std::chrono::milliseconds duration);

    // Set while a dialog that edits macros or recordings is open: no pass
    // starts meanwhile.
    void setBusy(bool busy) { busy_ = busy; }
    bool busy() const { return busy_; }
    void setPendingRequest(PendingRequest* request) { pendingRequest_ = request; }
    // The player's, called whenever a run ends or starts another pass.
    void setCancelWatcherRemover(std::function<void()> remove) {
        removeCancelWatcher_ = std::move(remove);
    }
    // The main window's, for SHUTDOWN KEYSTRIDER.
    void setShutdown(std::function<void()> shutdown) { shutdown_ = std::move(shutdown); }
    // The wait before each pass; only tests and benchmarks shorten it.
    void setPassStartWait(std::chrono::milliseconds wait) { passStartWait_ = wait; }

private:
    enum class Flow { Continue, PassOver, Return };

    bool isCurrent(RunGeneration run) const { return run != 0 && run == run_.generation; }
    void stepThroughCommands(RunGeneration run);
    Flow execute(RunGeneration run, const std::string& commandPath, std::uint32_t id);
    Flow executeByHandler(RunGeneration run, const std::string& commandPath, std::uint32_t id);
    void refuseUnavailable(RunGeneration run, std::uint32_t id);
    void endPass(RunGeneration run);
    void refuseStart(const std::string& macro);
    bool startConfirmed();
    void postFirstRunStep();

    void Delay(RunGeneration run, const std::string& commandPath);
    void Pause();
    void Repeat(const std::string& commandPath);
    void Loop();
    void skipToMatchingLoop();

    std::string commandPath(std::int32_t position) const;
    std::optional<std::uint32_t> readId(std::int32_t position);
    // Runs the event loop until the monotonic `deadline` (none: forever) or
    // until `run` ends.
    void waitUntil(RunGeneration run, std::optional<std::int64_t> deadline);
    // Runs events until `delay` has passed (with none, until woken), wakeWait()
    // or the application quits; kWaitOver unless it quit.
    int waitLoop(std::optional<std::int64_t> delay);
    void completePendingRequest(const std::string& macro, RunOutcome outcome);
    void removeCancelWatcher();

    SettingsStore& store_;
    Messages& messages_;
    Expander& expander_;
    ApplicationQueue& queue_;
    CommandDispatch& dispatch_;
    Clock& clock_;

    RunState run_;
    RunGeneration lastGeneration_ = 0;
    RunGeneration stepping_ = 0;  // the run whose commands are being stepped, innermost
    std::vector<RepeatFrame> loopStack_;
    bool busy_ = false;
    PendingRequest* pendingRequest_ = nullptr;
    std::function<void()> removeCancelWatcher_;
    std::function<void()> shutdown_;
    std::chrono::milliseconds passStartWait_ = kPassStartWait;
    bool startAtOnce_ = false;  // for the next pass
    std::unique_ptr<Timer> passStartTimer_;
    std::vector<QEventLoop*> waitLoops_;  // the waits under way, innermost last
    bool woken_ = false;                  // wakeWait came during the innermost waitWhileRunning
    MacroKey macroKey_{""};               // the running macro, for direct reads of its commands
};

}  // namespace ks
