#include "system/ConditionWait.h"

#include <algorithm>
#include <limits>

#include "core/PlusDigits.h"

namespace ks {

namespace {

constexpr std::chrono::milliseconds kLookInterval{100};

}  // namespace

WaitOutcome waitUntil(RunControl& run, Clock& clock, std::chrono::seconds timeout,
                      const std::function<bool()>& met) {
    // Whole seconds of the wall clock, as the limit is given and shown.
    const std::int64_t startSecond = clock.wallMillis() / 1000;
    const RunGeneration own = run.currentRun();
    for (;;) {
        if (met()) return WaitOutcome::Met;
        run.PumpAllMessages();
        if (run.currentRun() != own) return WaitOutcome::Stopped;
        if (timeout.count() > 0 && clock.wallMillis() / 1000 - startSecond > timeout.count()) {
            return WaitOutcome::TimedOut;
        }
        if (!run.waitWhileRunning(kLookInterval)) return WaitOutcome::Stopped;
    }
}

WaitOutcome waitForCondition(RunControl& run, Clock& clock, Messages& messages,
                             const WaitLimit& limit, const std::function<bool()>& met) {
    const WaitOutcome outcome = waitUntil(run, clock, limit.timeout, met);
    if (outcome == WaitOutcome::TimedOut) {
        messages.show(limit.text, limit.title, MsgIcon::Information);
    }
    return outcome;
}

std::optional<std::uint64_t> waitSeconds(const std::string& text, const std::string& command,
                                         Messages& messages) {
    const auto seconds = parsePlusDigits(text);
    if (!seconds) {
        messages.show("Invalid time out value in command \"" + command + "\".", "Error",
                      MsgIcon::Stop);
    }
    return seconds;
}

WaitLimit commandWaitLimit(const std::string& command, std::uint64_t seconds,
                           const std::string& subject) {
    const auto longest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return {std::chrono::seconds(static_cast<std::int64_t>(std::min(seconds, longest))),
            command + " operation failed: \"" + subject + "\"", command + " command timed out"};
}

CommandResult afterWait(WaitOutcome outcome, std::uint32_t abortOnFail) {
    switch (outcome) {
        case WaitOutcome::Met: return CommandResult::Next;
        case WaitOutcome::TimedOut:
            return abortOnFail == 1 ? CommandResult::Failed : CommandResult::Next;
        case WaitOutcome::Stopped: break;
    }
    return CommandResult::Failed;
}

}  // namespace ks
