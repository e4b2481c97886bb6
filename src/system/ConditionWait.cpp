#include "system/ConditionWait.h"

namespace ks {

namespace {

constexpr std::chrono::milliseconds kLookInterval{100};

}  // namespace

WaitOutcome waitUntil(RunControl& run, Clock& clock, std::chrono::seconds timeout,
                      const std::function<bool()>& met) {
    // Whole seconds of the wall clock, as the limit is given and shown.
    const std::int64_t startSecond = clock.wallMillis() / 1000;
    const RunGeneration own = run.CurrentRun();
    for (;;) {
        if (met()) return WaitOutcome::Met;
        run.PumpAllMessages();
        if (run.CurrentRun() != own) return WaitOutcome::Stopped;
        if (timeout.count() > 0 && clock.wallMillis() / 1000 - startSecond > timeout.count()) {
            return WaitOutcome::TimedOut;
        }
        if (!run.WaitWhileRunning(kLookInterval)) return WaitOutcome::Stopped;
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

}  // namespace ks
