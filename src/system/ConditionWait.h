#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/Messages.h"
#include "platform/Clock.h"
#include "runner/RunControl.h"

namespace ks {

enum class WaitOutcome { Met, TimedOut, Stopped };

// How a waiting command gives up: after more whole seconds than `timeout`
// have passed (0: never), with a box of `text` and `title`.
struct WaitLimit {
    std::chrono::seconds timeout{0};
    std::string text;
    std::string title;
};

// Looks at `met` every 100 ms until it holds, more whole seconds than
// `timeout` have passed (0: never) or the run of the waiting command is
// stopped. Between looks the run's wait keeps every message flowing without
// spinning.
WaitOutcome waitUntil(RunControl& run, Clock& clock, std::chrono::seconds timeout,
                      const std::function<bool()>& met);

// As waitUntil, showing the limit's box when it passes.
WaitOutcome waitForCondition(RunControl& run, Clock& clock, Messages& messages,
                             const WaitLimit& limit, const std::function<bool()>& met);

}  // namespace ks
