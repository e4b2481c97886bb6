#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
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

// A runner over a store in a fresh folder, with recorded messages, a fake
// expander and virtual time from 0 (a pass starts 1 ms after its request).
// Macros are written as small programs, one token per position:
//   A … Z     keystroke command for that key (records the letter)
//   r<text>   REPEAT with NumReps <text>     (r? : no NumReps value)
//   l         LOOP
//   d<text>   DELAY with DelayInterval <text> (d? : no DelayInterval value)
//   p         PAUSE
//   s         SHUTDOWN KEYSTRIDER, whose shutdown records 'S'
//   w         WAIT FOR WINDOW, whose handler records 'w' and fails
//   h         PLAYBACK RECORDING, whose handler records 'h' and hands the run over
//   x         SET CLOCK, which has no handler
//   _         no command at this position
class RunnerFixture : public StoreFixture {
protected:
    RunnerFixture() {
        store->EnsureRootKeys();
        ForwardStartRequests(queue, queue);
        runner = std::make_unique<MacroRunner>(*store, messages, expander, queue, dispatch, clock);
        runner->setPassStartWait(1ms);
        runner->setPendingRequest(&pending);
        runner->setShutdown([this] { record('S'); });
        dispatch.setKeystrokeHandler(
            [this](const std::string&, std::uint32_t id) { record(static_cast<char>(id)); });
        dispatch.setHandler(kWaitForWindow, [this](const std::string&, std::uint32_t) {
            record('w');
            return CommandResult::Failed;
        });
        dispatch.setHandler(kPlaybackRecording, [this](const std::string&, std::uint32_t) {
            record('h');
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
            if (token != "_") writeCommand(name, position, token);
        }
    }

    void writeCommand(const std::string& name, int position, const std::string& token) {
        const std::string key = macroKey(name) + "\\Commands\\" + std::to_string(position);
        const std::string rest = token.substr(1);
        auto write = [&](std::uint32_t id, const char* valueName) {
            ASSERT_TRUE(store->SetDword(key, "id", id));
            if (valueName != nullptr && rest != "?") {
                ASSERT_TRUE(store->SetText(key, valueName, rest));
            }
        };
        switch (token[0]) {
            case 'r': return write(kRepeat, "NumReps");
            case 'l': return write(kLoop, nullptr);
            case 'd': return write(kDelay, "DelayInterval");
            case 'p': return write(kPause, nullptr);
            case 's': return write(kShutdownKeystrider, nullptr);
            case 'w': return write(kWaitForWindow, nullptr);
            case 'h': return write(kPlaybackRecording, nullptr);
            case 'x': return write(kSetClock, nullptr);
            default: return write(static_cast<std::uint32_t>(token[0]), nullptr);
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
        for (const auto& event : events) {
            if (event.what == what) return event.at;
        }
        ADD_FAILURE() << "never ran: " << what;
        return -1;
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
