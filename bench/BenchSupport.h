#pragma once

#include <time.h>

#include <string>

#include <QEventLoop>

#include "expand/Expander.h"
#include "runner/PendingRequest.h"

namespace ks::bench {

// Leaves every command text as it is stored.
class IdentityExpander final : public Expander {
public:
    void Expand(std::string&) override {}
};

// Ends the event loop when a run ends.
class RunEnd final : public PendingRequest {
public:
    void complete() override { loop.quit(); }
    QEventLoop loop;
};

// The CPU time this process has used, user and system, in seconds.
inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace ks::bench
