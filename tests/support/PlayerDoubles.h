#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "journal/PlayerHost.h"
#include "platform/Clock.h"
#include "platform/EventInjector.h"

namespace ks::test {

// Records what was injected, each call with the tick it was made at.
class RecordingInjector final : public EventInjector {
public:
    struct Call {
        std::string what;
        std::uint32_t tick;
    };
    explicit RecordingInjector(Clock& clock) : clock_(clock) {}

    bool available() override { return usable; }
    void key(std::uint8_t virtualKey, std::uint8_t, bool down) override {
        add("key " + std::to_string(virtualKey) + (down ? " down" : " up"));
    }
    void motion(std::int32_t x, std::int32_t y) override {
        add("motion " + std::to_string(x) + "," + std::to_string(y));
    }
    void button(unsigned number, bool down) override {
        add("button " + std::to_string(number) + (down ? " down" : " up"));
    }
    void flush() override { ++flushes; }

    std::vector<std::string> whats() const {
        std::vector<std::string> out;
        for (const Call& call : calls) out.push_back(call.what);
        return out;
    }

    bool usable = true;
    int flushes = 0;
    std::vector<Call> calls;

private:
    void add(std::string what) { calls.push_back({std::move(what), clock_.ticks()}); }
    Clock& clock_;
};

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
