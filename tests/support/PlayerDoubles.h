#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "RecordingInput.h"
#include "journal/PlayerHost.h"

namespace ks::test {

// Counts what the player asks for, noting the run it names last.
class RecordingPlayerHost final : public PlayerHost {
public:
    std::uint64_t currentRun() override { return run; }
    void postRunStep(std::uint64_t of) override {
        ++runSteps;
        lastNamed = of;
    }
    void endRun(std::uint64_t of) override {
        ++endRuns;
        lastNamed = of;
    }
    bool raiseMainWindow() override {
        ++raises;
        return hasMainWindow;
    }
    void postStopRun() override { ++stopRuns; }
    void clear() { runSteps = endRuns = raises = stopRuns = 0; }

    bool hasMainWindow = true;
    std::uint64_t run = 1;
    std::uint64_t lastNamed = 0;
    int runSteps = 0;
    int endRuns = 0;
    int raises = 0;
    int stopRuns = 0;
};

}  // namespace ks::test
