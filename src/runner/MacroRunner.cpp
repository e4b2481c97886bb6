#include "runner/MacroRunner.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <utility>

#include "core/PlusDigits.h"
#include "expand/StoredCommand.h"

namespace ks {

namespace {

constexpr const char* kTerminated = "Macro has been terminated by the user!";
constexpr const char* kProceed = "A macro is about to be executed, do you wish to proceed?";
constexpr const char* kClickOk = "Click OK to continue...";
constexpr const char* kBadRepeat =
    "Argument to the REPEAT command must be integer values and greater than 0.";
constexpr const char* kUnavailablePrefix = "Unable to execute command ";
constexpr const char* kUnavailableSuffix = "!\nThe macro has been terminated.";

// One timer wait is at most this long; a longer DELAY simply waits again.
constexpr std::int64_t kLongestTimerWait = 3600 * 1000;
// Keeps deadline arithmetic far from overflow; a delay this long never ends anyway.
constexpr std::uint64_t kLongestInterval = std::numeric_limits<std::int64_t>::max() / 4;

// What a wait loop returns when its time is up or the run has ended; any
// other value means the application is leaving its event loops.
constexpr int kWaitOver = 0x4B53;

// Makes a wait loop reachable by EndRun for as long as it runs.
class WaitLoopScope {
public:
    WaitLoopScope(std::vector<QEventLoop*>& loops, QEventLoop* loop) : loops_(loops) {
        loops_.push_back(loop);
    }
    ~WaitLoopScope() { loops_.pop_back(); }
    WaitLoopScope(const WaitLoopScope&) = delete;
    WaitLoopScope& operator=(const WaitLoopScope&) = delete;

private:
    std::vector<QEventLoop*>& loops_;
};

// Marks a run as being stepped; a run started from a nested event loop is
// stepped above the older one and gives the mark back when it returns.
class SteppingScope {
public:
    SteppingScope(RunGeneration& stepping, RunGeneration run)
        : stepping_(stepping), outer_(stepping) {
        stepping_ = run;
    }
    ~SteppingScope() { stepping_ = outer_; }
    SteppingScope(const SteppingScope&) = delete;
    SteppingScope& operator=(const SteppingScope&) = delete;

private:
    RunGeneration& stepping_;
    RunGeneration outer_;
};

}  // namespace

MacroRunner::MacroRunner(SettingsStore& store, Messages& messages, Expander& expander,
                         ApplicationQueue& queue, CommandDispatch& dispatch, Clock& clock)
    : store_(store),
      messages_(messages),
      expander_(expander),
      queue_(queue),
      dispatch_(dispatch),
      clock_(clock),
      passStartTimer_(clock.createTimer([this] { postFirstRunStep(); })) {
    queue_.setHandler<msg::StartMacro>([this](msg::StartMacro& start) {
        RunMacroByName(std::move(start.macro), start.keysReleased);
    });
    queue_.setHandler<msg::RunStep>([this](msg::RunStep& step) { RunSteps(step.run); });
    queue_.setHandler<msg::StopRun>([this](msg::StopRun&) { StopRun(); });
    queue_.setHandler<msg::CancelJournal>([this](msg::CancelJournal&) { StopRun(); });
}

MacroRunner::~MacroRunner() {
    queue_.removeHandler<msg::StartMacro>();
    queue_.removeHandler<msg::RunStep>();
    queue_.removeHandler<msg::StopRun>();
    queue_.removeHandler<msg::CancelJournal>();
}

void MacroRunner::RunMacroByName(std::string name, bool keysReleased) {
    if (runActive()) return refuseStart(name);
    if (!startConfirmed()) return refuseStart(name);
    // The question's modal loop handles messages, so another run may have
    // started while it was open.
    if (runActive()) return refuseStart(name);
    run_.macroName = std::move(name);
    macroKey_ = MacroKey(run_.macroName);
    run_.passesWanted = store_.GetDword(macroKey_.key().direct(), "repeat").value_or(1);
    run_.passesDone = 0;
    startAtOnce_ = keysReleased;
    StartRun();
}

bool MacroRunner::startConfirmed() {
    if (!store_.OptionOn("PromptBefMac")) return true;
    return messages_.show(kProceed, "Attention", MsgIcon::Question, MsgButtons::YesNo,
                          MsgOwner::MainWindow) == MsgAnswer::Yes;
}

void MacroRunner::refuseStart(const std::string& macro) {
    completePendingRequest(macro, RunOutcome::Refused);
}

void MacroRunner::StartRun() {
    if (busy_) {
        // No pass may start now. A run between two passes would otherwise
        // stay active with nothing left to step it, refusing every later
        // start; a request that started nothing is answered, not left open.
        if (runActive()) {
            EndRun();
        } else {
            refuseStart(run_.macroName);
        }
        return;
    }
    if (!runActive()) run_.generation = ++lastGeneration_;
    loopStack_.clear();
    passStartTimer_->start(std::exchange(startAtOnce_, false) ? std::chrono::milliseconds(0)
                                                              : passStartWait_);
}

void MacroRunner::postFirstRunStep() {
    try {
        if (postRunStep(run_.generation)) return;
        messages_.show("Failed to start macro: " + run_.macroName, "Error", MsgIcon::Stop,
                       MsgButtons::Ok, MsgOwner::MainWindow);
        EndRun();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Keystrider: starting a macro: %s\n", error.what());
        EndRun();
    }
}

bool MacroRunner::postRunStep(RunGeneration run) {
    return queue_.post(msg::RunStep{run});
}

void MacroRunner::RunSteps(RunGeneration run) {
    // A run step of a run that is over, or one that arrives while this run's
    // commands are being stepped or before its pass-start wait is over, was
    // posted for a pass that has gone: it must not start a second
    // interpreter or run the new pass early. A newer run is stepped even
    // while an older one's stepping is still on the stack below it.
    if (!isCurrent(run) || stepping_ == run || passStartTimer_->active()) return;
    const SteppingScope stepping(stepping_, run);
    try {
        stepThroughCommands(run);
    } catch (...) {
        EndRun(run);
        throw;
    }
}

void MacroRunner::stepThroughCommands(RunGeneration run) {
    for (;;) {
        PumpStopRequests();
        if (!isCurrent(run)) return;
        const std::int32_t position = run_.nextPosition++;
        const std::optional<std::uint32_t> id = readId(position);
        const Flow flow = id ? execute(run, commandPath(position), *id) : Flow::PassOver;
        if (flow == Flow::PassOver) return endPass(run);
        if (flow == Flow::Return) return;
    }
}

MacroRunner::Flow MacroRunner::execute(RunGeneration run, const std::string& path,
                                       std::uint32_t id) {
    switch (id) {
        case kDelay: Delay(run, path); break;
        case kPause: Pause(); break;
        case kRepeat: Repeat(path); break;
        case kLoop: Loop(); break;
        case kShutdownKeystrider:
            if (shutdown_) shutdown_();
            break;
        default: return executeByHandler(run, path, id);
    }
    return Flow::Continue;
}

MacroRunner::Flow MacroRunner::executeByHandler(RunGeneration run, const std::string& path,
                                                std::uint32_t id) {
    StoredCommand command(store_, expander_, path);
    switch (dispatch_.execute(id, command)) {
        case CommandResult::Next: return Flow::Continue;
        case CommandResult::Failed: EndRun(run); return Flow::Return;
        case CommandResult::Handover: PumpStopRequests(); return Flow::Return;
        case CommandResult::Unavailable: refuseUnavailable(run, id); return Flow::Return;
    }
    return Flow::Continue;
}

void MacroRunner::refuseUnavailable(RunGeneration run, std::uint32_t id) {
    // Going on would send the commands after it to whatever window has the
    // focus, not to the one this command was meant to prepare.
    EndRun(run);
    messages_.show(kUnavailablePrefix + std::string(commandName(id)) + kUnavailableSuffix,
                   "Keystrider", MsgIcon::Exclamation);
}

void MacroRunner::endPass(RunGeneration run) {
    PumpStopRequests();
    if (!isCurrent(run)) return;
    ++run_.passesDone;
    if (run_.passesDone < run_.passesWanted) {
        removeCancelWatcher();
        run_.nextPosition = 0;
        StartRun();
    } else {
        EndRun();
    }
}

void MacroRunner::EndRun() {
    removeCancelWatcher();
    if (!runActive()) return;
    const std::string macro = std::exchange(run_, RunState{}).macroName;
    passStartTimer_->stop();
    for (QEventLoop* loop : waitLoops_) loop->exit(kWaitOver);
    completePendingRequest(macro, RunOutcome::Ran);
}

void MacroRunner::EndRun(RunGeneration run) {
    if (isCurrent(run)) EndRun();
}

void MacroRunner::StopRun() {
    if (!runActive()) return;
    EndRun();
    messages_.show(kTerminated, "Attention", MsgIcon::Exclamation, MsgButtons::Ok,
                   MsgOwner::SystemModal);
}

void MacroRunner::PumpStopRequests() {
    // Everything queued before the stop request goes with it, in order.
    while (queue_.isWaiting<msg::StopRun>()) queue_.dispatchOne();
}

void MacroRunner::PumpAllMessages() {
    while (queue_.dispatchOne()) {
    }
    QCoreApplication::processEvents();
}

bool MacroRunner::waitWhileRunning(std::chrono::milliseconds duration) {
    // Handlers are called only while their run is stepped, so the innermost
    // stepped run is the waiting command's own.
    const RunGeneration run = stepping_;
    const std::int64_t deadline = clock_.monotonicMillis() + duration.count();
    woken_ = false;
    while (isCurrent(run) && !woken_ && clock_.monotonicMillis() < deadline) {
        waitUntil(run, deadline);
    }
    woken_ = false;
    return isCurrent(run);
}

void MacroRunner::wakeWait() {
    woken_ = true;
    if (!waitLoops_.empty()) waitLoops_.back()->exit(kWaitOver);
}

void MacroRunner::waitUntil(RunGeneration run, std::optional<std::int64_t> deadline) {
    const std::optional<std::int64_t> delay =
        deadline ? std::optional(*deadline - clock_.monotonicMillis()) : std::nullopt;
    // Once the application quits, every event loop returns at once: waiting
    // on would spin until the deadline, so the run ends instead.
    if (waitLoop(delay) != kWaitOver) EndRun(run);
}

bool MacroRunner::waitOutsideRuns(std::chrono::milliseconds duration) {
    return waitLoop(duration.count()) == kWaitOver;
}

int MacroRunner::waitLoop(std::optional<std::int64_t> delay) {
    QEventLoop loop;
    const std::unique_ptr<Timer> timer = clock_.createTimer([&loop] { loop.exit(kWaitOver); });
    if (delay) {
        timer->start(
            std::chrono::milliseconds(std::clamp<std::int64_t>(*delay, 0, kLongestTimerWait)));
    }
    const WaitLoopScope scope(waitLoops_, &loop);
    return loop.exec();
}

void MacroRunner::Delay(RunGeneration run, const std::string& path) {
    // Measured on the monotonic clock: a change of the system clock during
    // the wait neither cuts it short nor stretches it.
    const std::int64_t start = clock_.monotonicMillis();
    std::string text;
    if (!store_.ReadMacroString(path, "DelayInterval", text)) return;
    expander_.Expand(text);
    const std::optional<std::uint64_t> interval = parsePlusDigits(text);
    if (!interval) {
        messages_.show("Invalid delay interval: " + text, "Error", MsgIcon::Stop);
        return;
    }
    // Over once more than `interval` milliseconds have passed; 0 waits for a stop.
    std::optional<std::int64_t> deadline;
    if (*interval != 0) {
        deadline = start + static_cast<std::int64_t>(std::min(*interval, kLongestInterval)) + 1;
    }
    for (;;) {
        PumpAllMessages();
        if (!isCurrent(run)) return;
        waitUntil(run, deadline);
        if (deadline && clock_.monotonicMillis() >= *deadline) return;
    }
}

void MacroRunner::Pause() {
    messages_.show(kClickOk, "Attention", MsgIcon::None, MsgButtons::Ok, MsgOwner::SystemModal);
}

void MacroRunner::Repeat(const std::string& path) {
    std::string text;
    if (!store_.ReadMacroString(path, "NumReps", text)) return;
    expander_.Expand(text);
    const std::optional<std::uint64_t> number = parsePlusDigits(text);
    if (!number) {
        messages_.show(kBadRepeat, "Keystrider - Error", MsgIcon::Stop);
        return;
    }
    constexpr auto kMaxCount = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    const auto count = static_cast<std::int32_t>(std::min(*number, kMaxCount));
    loopStack_.push_back(RepeatFrame{count, run_.nextPosition, 0});
    if (count == 0) skipToMatchingLoop();
}

void MacroRunner::skipToMatchingLoop() {
    // REPEAT and LOOP pair like brackets here too, so a skipped body that
    // holds its own REPEAT … LOOP is skipped whole. The matching LOOP is left
    // to run next and remove the frame; at the end of the list the position
    // stays on the missing command, which ends the pass.
    int depth = 0;
    for (;; ++run_.nextPosition) {
        const std::optional<std::uint32_t> id = readId(run_.nextPosition);
        if (!id) return;
        if (*id == kRepeat) {
            ++depth;
        } else if (*id == kLoop) {
            if (depth == 0) return;
            --depth;
        }
    }
}

void MacroRunner::Loop() {
    if (loopStack_.empty()) return;
    RepeatFrame& frame = loopStack_.back();
    ++frame.done;
    if (frame.done < frame.count) {
        run_.nextPosition = frame.returnPosition;
    } else {
        loopStack_.pop_back();
    }
}

std::string MacroRunner::commandPath(std::int32_t position) const {
    return macroKey_.command(position).macroSubpath();
}

std::optional<std::uint32_t> MacroRunner::readId(std::int32_t position) {
    return store_.GetDword(macroKey_.commandDirect(position), "id");
}

void MacroRunner::completePendingRequest(const std::string& macro, RunOutcome outcome) {
    if (pendingRequest_ != nullptr) pendingRequest_->complete(macro, outcome);
}

void MacroRunner::removeCancelWatcher() {
    if (removeCancelWatcher_) removeCancelWatcher_();
}

}  // namespace ks
