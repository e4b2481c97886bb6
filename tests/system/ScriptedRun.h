#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "runner/RunControl.h"

namespace ks::test {

// A run that never ends; its waits take real time and let the test act at each look.
class ScriptedRun final : public RunControl {
public:
    RunGeneration currentRun() const override { return 1; }
    void EndRun() override {}
    void EndRun(RunGeneration) override {}
    bool postRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool waitWhileRunning(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
        if (onWait) onWait(++looks);
        return true;
    }

    int looks = 0;
    std::function<void(int)> onWait;
};

}  // namespace ks::test
