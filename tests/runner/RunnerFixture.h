#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "../store/StoreFixture.h"
#include "FakeClock.h"
#include "FakeExpander.h"
#include "commands/CommandDispatch.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"
#include "runner/PendingRequest.h"

namespace ks::test {

using namespace std::chrono_literals;

// Counts completions and notes the virtual time of the last one.
class RecordingPendingRequest final : public PendingRequest {
public:
    explicit RecordingPendingRequest(Clock& clock) : clock_(clock) {}
    void complete() override {
        ++completions;
        lastCompletion = clock_.monotonicMillis();
    }
    int completions = 0;
    std::int64_t lastCompletion = 0;

private:
    Clock& clock_;
};

// A runner over a fresh store, on virtual time from 0 (a pass starts 1 ms
// after its request). Macros are written one token per position:
//   A … Z keystroke, recording the letter (T then throws, P posts a stale run step)
//   r<text> REPEAT, NumReps <text>   d<text> DELAY, DelayInterval <text>   (r?, d?: no value)
//   l LOOP   p PAUSE   s SHUTDOWN KEYSTRIDER (records 'S')   x SET CLOCK (no handler)
//   w WAIT FOR WINDOW: records 'w', waits 500 ms while the run lasts and fails
//   h PLAYBACK RECORDING: records 'h' and hands over; the run step comes 40 ms later
//   _ no command
class RunnerFixture : public StoreFixture {
protected:
    RunnerFixture() {
        store->EnsureRootKeys();
        ForwardStartRequests(queue, queue);
        runner = std::make_unique<MacroRunner>(*store, messages, expander, queue, dispatch, clock);
        runner->setPassStartWait(1ms);
        runner->setPendingRequest(&pending);
        runner->setShutdown([this] { record('S'); });
        dispatch.setKeystrokeHandler([this](const std::string&, std::uint32_t id) {
            record(static_cast<char>(id));
            if (id == 'T') throw std::runtime_error("handler failed");
            if (id == 'P') runner->PostRunStep(runner->CurrentRun());
        });
        dispatch.setHandler(kWaitForWindow, [this](const std::string&, std::uint32_t) {
            record('w');
            runner->WaitWhileRunning(500ms);
            return CommandResult::Failed;
        });
        dispatch.setHandler(kPlaybackRecording, [this](const std::string&, std::uint32_t) {
            record('h');
            clock.after(40ms, [this, run = runner->CurrentRun()] { runner->PostRunStep(run); });
            return CommandResult::Handover;
        });
    }

    static std::string macroKey(const std::string& name) {
        return std::string(kDirectRoot) + "Macros\\" + name;
    }

    void writeMacro(const std::string& name, const std::string& program,
                    std::optional<std::uint32_t> repeat = std::nullopt) {
        ASSERT_TRUE(store->CreateMacroKey(name));
        if (repeat) {
            ASSERT_TRUE(store->SetDword(macroKey(name), "repeat", *repeat));
        }
        std::istringstream tokens(program);
        std::string token;
        for (int position = 0; tokens >> token; ++position) {
            const std::string key = macroKey(name) + "\\Commands\\" + std::to_string(position);
            const auto [id, valueName] = commandOf(token[0]);
            if (token == "_") continue;
            ASSERT_TRUE(store->SetDword(key, "id", id));
            if (valueName && token.substr(1) != "?")
                store->SetText(key, valueName, token.substr(1));
        }
    }

    // A token's command identifier and the name of the value its text goes to.
    static std::pair<std::uint32_t, const char*> commandOf(char token) {
        switch (token) {
            case 'r': return {kRepeat, "NumReps"};
            case 'd': return {kDelay, "DelayInterval"};
            case 'l': return {kLoop, nullptr};
            case 'p': return {kPause, nullptr};
            case 's': return {kShutdownKeystrider, nullptr};
            case 'w': return {kWaitForWindow, nullptr};
            case 'h': return {kPlaybackRecording, nullptr};
            case 'x': return {kSetClock, nullptr};
            default: return {static_cast<std::uint32_t>(token), nullptr};
        }
    }

    void start(const std::string& name) {
        ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, name));
    }
    void postStop(std::uint32_t message = kMsgStopRun) { queue.post(Message{message, {}, {}, 0}); }

    // Runs the event loop until `completions` runs have ended or been refused.
    [[nodiscard]] bool waitForCompletions(int completions) {
        return clock.run([&] { return pending.completions >= completions; });
    }

    // Starts the macro and returns what ran once its run has ended.
    std::string run(const std::string& name) {
        const int before = pending.completions;
        start(name);
        EXPECT_TRUE(waitForCompletions(before + 1));
        EXPECT_EQ(pending.completions, before + 1);
        EXPECT_FALSE(runner->RunActive());
        return ran();
    }

    void record(char what) { events.push_back({what, clock.monotonicMillis()}); }

    std::string ran() const {
        std::string out;
        for (const auto& event : events) out += event.what;
        return out;
    }

    std::int64_t timeOf(char what) const {
        const auto at = std::find_if(events.begin(), events.end(),
                                     [&](const Event& event) { return event.what == what; });
        return at == events.end() ? -1 : at->at;
    }

    struct Event {
        char what;
        std::int64_t at;
    };

    FakeExpander expander;
    FakeClock clock;
    MessageQueue queue;
    CommandDispatch dispatch;
    RecordingPendingRequest pending{clock};
    std::unique_ptr<MacroRunner> runner;
    std::vector<Event> events;
};

}  // namespace ks::test
