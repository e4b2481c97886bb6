#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "commands/CommandFamily.h"
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

// The seconds of the waiting command `command`'s time-out text; when the
// text is no count, a box says so and there are none.
std::optional<std::uint64_t> waitSeconds(const std::string& text, const std::string& command,
                                         Messages& messages);

// The limit of the waiting command `command` ("WAIT FOR WINDOW") given
// `seconds`: a count beyond what the clock holds waits as long as it can. Its
// box names `subject`, what the command waited for.
WaitLimit commandWaitLimit(const std::string& command, std::uint64_t seconds,
                           const std::string& subject);

// What a waiting command does after its wait: a stop ends the macro, and so
// does a timeout when "AbortOnFail" is 1.
CommandResult afterWait(WaitOutcome outcome, std::uint32_t abortOnFail);

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
