#include "system/ConditionWait.h"

namespace ks {

namespace {

constexpr std::chrono::milliseconds kLookInterval{100};

}  // namespace

WaitOutcome waitForCondition(RunControl& run, Clock& clock, Messages& messages,
                             const WaitLimit& limit, const std::function<bool()>& met) {
    // Whole seconds of the wall clock, as the limit is given and shown.
    const std::int64_t startSecond = clock.wallMillis() / 1000;
    const RunGeneration own = run.CurrentRun();
    for (;;) {
        if (met()) return WaitOutcome::Met;
        run.PumpAllMessages();
        if (run.CurrentRun() != own) return WaitOutcome::Stopped;
        if (limit.timeout.count() > 0 &&
            clock.wallMillis() / 1000 - startSecond > limit.timeout.count()) {
            messages.show(limit.text, limit.title, MsgIcon::Information);
            return WaitOutcome::TimedOut;
        }
        if (!run.WaitWhileRunning(kLookInterval)) return WaitOutcome::Stopped;
    }
}

}  // namespace ks
