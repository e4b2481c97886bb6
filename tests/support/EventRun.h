#pragma once

#include <chrono>

#include "QtTestLoop.h"
#include "runner/RunControl.h"

namespace ks::test {

// A run whose waits handle events in real time until they are woken or the
// test stops the run.
class EventRun final : public RunControl {
public:
    RunGeneration currentRun() const override { return stopped ? 0 : 1; }
    void EndRun() override { stopped = true; }
    void EndRun(RunGeneration) override { stopped = true; }
    bool postRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool waitWhileRunning(std::chrono::milliseconds duration) override {
        woken = false;
        runEventsUntil([this] { return stopped || woken; }, static_cast<int>(duration.count()));
        return !stopped;
    }
    void wakeWait() override { woken = true; }

    bool stopped = false;
    bool woken = false;
};

}  // namespace ks::test
