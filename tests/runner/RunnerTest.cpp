#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QCoreApplication>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../store/StoreFixture.h"
#include "CommandHandlers.h"
#include "FakeClock.h"
#include "FakeExpander.h"
#include "commands/CommandDispatch.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"
#include "runner/PendingRequest.h"

namespace ks::test {
namespace {

using namespace std::chrono_literals;

// A runner over a fresh store, on virtual time from 0 (a pass starts 1 ms
// after its request). Macros are written one token per position:
//   A … Z keystroke, recording the letter (T then throws, P posts a stale run step, K posts a
//         stop, Q a message that records 'M' when handled)
//   r<text> REPEAT, NumReps <text>   d<text> DELAY, DelayInterval <text>   (r?, d?: no value)
//   l LOOP   p PAUSE   s SHUTDOWN KEYSTRIDER (records 'S')   x SET CLOCK (no handler)
//   w WAIT FOR WINDOW: records 'w', waits 500 ms while the run lasts and fails
//   h PLAYBACK RECORDING: records 'h' and hands over; the run step comes 40 ms later
//   _ no command
class MacroRunnerTest : public StoreFixture, public PendingRequest {
protected:
    MacroRunnerTest() {
        store->EnsureRootKeys();
        runner = std::make_unique<MacroRunner>(*store, messages, expander, queue, dispatch, clock);
        runner->setPassStartWait(1ms);
        runner->setPendingRequest(this);
        runner->setShutdown([this] { record('S'); });
        handlers.setKeystrokeHandler([this](const std::string&, std::uint32_t id) {
            record(static_cast<char>(id));
            if (id == 'T') throw std::runtime_error("handler failed");
            if (id == 'P') runner->postRunStep(runner->currentRun());
            if (id == 'K') postStop();
            if (id == 'Q') queue.post(msg::HookEnded{});
        });
        queue.setHandler<msg::HookEnded>([this](msg::HookEnded&) { record('M'); });
        handlers.setHandler(kWaitForWindow, [this](const std::string&, std::uint32_t) {
            record('w');
            runner->waitWhileRunning(500ms);
            return CommandResult::Failed;
        });
        handlers.setHandler(kPlaybackRecording, [this](const std::string&, std::uint32_t) {
            record('h');
            clock.after(40ms, [this, run = runner->currentRun()] { runner->postRunStep(run); });
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

    void start(const std::string& name) { ASSERT_TRUE(queue.post(msg::StartMacro{name})); }
    void postStop(ApplicationQueue::Message stop = msg::StopRun{}) { queue.post(std::move(stop)); }

    // Runs the event loop until `count` runs have ended or been refused.
    [[nodiscard]] bool waitForCompletions(int count) {
        return clock.run([&] { return completions >= count; });
    }

    // Starts the macro and returns what ran once its run has ended and what it left queued.
    std::string run(const std::string& name) {
        const int before = completions;
        start(name);
        EXPECT_TRUE(waitForCompletions(before + 1));
        EXPECT_EQ(completions, before + 1);
        EXPECT_FALSE(runner->runActive());
        EXPECT_TRUE(clock.run([&] { return queue.empty(); }));
        return ran;
    }

    void complete(const std::string& macro, RunOutcome outcome) override {
        ++completions;
        outcomes.emplace_back(macro, outcome);
        lastCompletion = clock.monotonicMillis();
    }

    void record(char what) {
        ran += what;
        times.emplace(what, clock.monotonicMillis());  // the first time only
    }
    void forget() {
        ran.clear();
        times.clear();
        messages.clear();
    }

    FakeExpander expander;
    FakeClock clock;
    ApplicationQueue queue;
    CommandDispatch dispatch;
    CommandHandlers handlers{dispatch};
    std::unique_ptr<MacroRunner> runner;
    int completions = 0;
    std::vector<std::pair<std::string, RunOutcome>> outcomes;
    std::int64_t lastCompletion = 0;
    std::string ran;  // what ran, one letter each
    std::map<char, std::int64_t> times;
};

constexpr const char* kTerminated = "Macro has been terminated by the user!";
constexpr const char* kBadRepeat =
    "Argument to the REPEAT command must be integer values and greater than 0.";
constexpr const char* kStoreReadError = "Error reading value in reigistry at: ";
constexpr const char* kUnavailable =
    "Unable to execute command SET CLOCK!\nThe macro has been terminated.";

auto box(const char* text, const char* title, MsgIcon icon, MsgOwner owner,
         MsgButtons buttons = MsgButtons::Ok) {
    return std::tuple(std::string(text), std::string(title), icon, buttons, owner);
}

TEST_F(MacroRunnerTest, ProgramsRunTheirCommandsInOrderAndTime) {
    struct Case {
        const char* program;
        std::optional<std::uint32_t> repeat;
        const char* ran;
        std::vector<std::string> shown;  // the beginnings of the texts shown
        int stopAt = 0;                  // ms after the request; 0: no stop
        std::int64_t took = 1;           // from the request to the run's end
        ApplicationQueue::Message stop = msg::StopRun{};
        int wakeAt = 0;  // ms after the request the innermost wait is woken; 0: never
    };
    const Case cases[] = {
        {"r{n} A l B", {}, "AAAB", {}},
        {"r2 r3 A l B l C", {}, "AAABAAABC", {}},
        {"r0 A r2 B l C l D", {}, "D", {}},  // a skipped body is skipped whole
        {"r0 A B", {}, "", {}},              // no LOOP: the skip ends the pass
        {"r2 A", {}, "A", {}},               // no LOOP: the body runs once
        {"l A", {}, "A", {}},                // LOOP without REPEAT
        // invalid counts: no frame, the body runs once, its LOOP closes the outer REPEAT
        {"r2 rx A l B l", {}, "AAB", {kBadRepeat, kBadRepeat}},
        {"r? A l", {}, "A", {kStoreReadError}},
        {"A B", 3u, "ABABAB", {}, 0, 3},
        {"A B", 0u, "AB", {}},
        {"l A r2 B", 2u, "ABAB", {}, 0, 2},  // the LoopStack is emptied at each pass
        {"", 3u, "", {}, 0, 3},
        {"A B _ C", {}, "AB", {}},  // a gap ends the list
        {"d-5 A", {}, "A", {"Invalid delay interval: -5"}},
        {"d? A", {}, "A", {kStoreReadError}},
        {"A d{t} B", {}, "AB", {}, 0, 32},  // over once more than 30 ms have passed
        {"A d0 B", {}, "A", {kTerminated}, 100, 100, msg::CancelJournal{}},
        {"P d50 B", {}, "PB", {}, 0, 52},  // the stale step runs nothing twice
        {"A p B", {}, "AB", {"Click OK to continue..."}},
        {"A w B", {}, "Aw", {}, 0, 501},             // a failed wait ends the run without a message
        {"A w B", {}, "Aw", {kTerminated}, 30, 30},  // a stopped wait ends it once
        {"A w B", {}, "Aw", {}, 0, 20, msg::StopRun{}, 20},  // a woken wait returns at once
        {"A h B", {}, "AhB", {}, 0, 41},                     // handed over until the run step
        {"A s B", {}, "ASB", {}},   // SHUTDOWN KEYSTRIDER calls the shutdown and goes on
        {"T B", {}, "T", {}},       // a command that throws ends the run
        {"Q B C", {}, "QBCM", {}},  // a message queued during a command waits for the run's end
        {"Q K B C", {}, "QKM", {kTerminated}},  // ...unless a stop follows: it goes with the run
        {"A x B", {}, "A", {kUnavailable}},     // last: its box is checked below
    };
    int watcherRemovals = 0;
    runner->setCancelWatcherRemover([&] { ++watcherRemovals; });
    expander.values = {{"n", "3"}, {"t", "30"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        forget();
        watcherRemovals = 0;
        const std::string name = "m" + std::to_string(completions);
        writeMacro(name, c.program, c.repeat);
        const std::int64_t begin = clock.monotonicMillis();
        if (c.stopAt) clock.after(std::chrono::milliseconds(c.stopAt), [&] { postStop(c.stop); });
        if (c.wakeAt) clock.after(std::chrono::milliseconds(c.wakeAt), [&] { runner->wakeWait(); });
        EXPECT_EQ(run(name), c.ran);
        EXPECT_EQ(lastCompletion - begin, c.took);
        std::vector<std::string> shown = messages.texts();
        for (std::size_t i = 0; i < std::min(shown.size(), c.shown.size()); ++i)
            shown[i].resize(c.shown[i].size());
        EXPECT_EQ(shown, c.shown);
        if (c.stopAt) {
            EXPECT_EQ(boxFields(messages.shown.at(0)),
                      box(kTerminated, "Attention", MsgIcon::Exclamation, MsgOwner::SystemModal));
        }
        if (c.repeat) {  // once before each further pass, once when the run ends
            EXPECT_EQ(watcherRemovals, std::max(*c.repeat, 1u));
        }
    }
    EXPECT_EQ(boxFields(messages.shown.at(0)),
              box(kUnavailable, "Keystrider", MsgIcon::Exclamation, MsgOwner::None));
    forget();
    postStop();  // without a run: nothing shown
    EXPECT_EQ(run("no such macro"), "");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MacroRunnerTest, ReadsEachCommandWhenItsTurnComesAndHandsItsKeyPath) {
    std::vector<std::string> paths;
    writeMacro("m", "A B C");
    handlers.setKeystrokeHandler([&](const std::string& path, std::uint32_t id) {
        record(static_cast<char>(id));
        paths.push_back(path);
        const std::string commands = macroKey("m") + "\\Commands\\";
        if (id == 'A') store->SetDword(commands + "1", "id", 'X');
        if (id == 'X') store->DeleteValue(commands + "2", "id");
    });
    EXPECT_EQ(run("m"), "AX");
    EXPECT_EQ(paths, (std::vector<std::string>{"m\\Commands\\0", "m\\Commands\\1"}));
}

TEST_F(MacroRunnerTest, ApplicationQuittingEndsADelay) {
    writeMacro("m", "A d0 B");
    start("m");
    clock.after(100ms, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(ran, "A");
    EXPECT_TRUE(messages.shown.empty());
}

// A run started while an older run's stepping is still on the stack (here
// from the older run's stop box) is stepped at once, neither held up by the
// older run's DELAY nor ended by its failing wait.
TEST_F(MacroRunnerTest, NewRunStartedBelowAnOlderRunsStackRunsAtOnce) {
    // What is checked, the older run, whether its box stays open until the new run has
    // ended (or only until it has started), and what ran.
    const std::tuple<const char*, const char*, bool, const char*> cases[] = {
        {"stepped inside the box, not ignored", "A d60000 B", true, "ACD"},
        {"not held back by the older DELAY", "A d1000 B", false, "ACD"},
        {"not ended by the older wait's failure", "A w B", false, "AwCD"},
    };
    writeMacro("new", "C d10 D");
    for (const auto& [what, older, boxOpen, expected] : cases) {
        SCOPED_TRACE(what);
        const bool boxOpenUntilNewRunEnds = boxOpen;  // clang 14 lambdas cannot capture bindings
        clock.set(0);
        forget();
        completions = 0;
        writeMacro("old", older);
        messages.whileShown = [&](const MessageBox&) {
            start("new");
            EXPECT_TRUE(clock.run(
                [&] { return boxOpenUntilNewRunEnds ? completions == 2 : runner->runActive(); }));
        };
        clock.after(100ms, [this] { postStop(); });
        start("old");
        ASSERT_TRUE(waitForCompletions(2));
        messages.whileShown = nullptr;
        EXPECT_EQ(ran, expected);
        EXPECT_EQ(times['C'], 101);
        EXPECT_EQ(times['D'], 112);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});
    }
}

TEST_F(MacroRunnerTest, PassStartsAfterItsWaitDuringWhichStartsAndStopsCount) {
    runner->setPassStartWait(MacroRunner::kPassStartWait);
    writeMacro("one", "A");
    writeMacro("two", "B");
    start("one");
    start("two");
    runner->postRunStep(1);  // a run step left over from an earlier pass must not cut the wait
    ASSERT_TRUE(waitForCompletions(2));
    EXPECT_EQ(ran, "A");
    EXPECT_EQ(times['A'], 300);
    // A stop during the wait ends the run before anything runs.
    clock.after(100ms, [this] { postStop(); });
    start("one");
    ASSERT_TRUE(waitForCompletions(3));
    clock.run([] { return false; });  // until nothing is left to happen
    EXPECT_EQ(ran, "A");
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});
    // A start whose keys are up already runs its first pass at once, the next after the wait.
    writeMacro("typed", "C", 2);
    const std::int64_t started = clock.monotonicMillis();
    ASSERT_TRUE(queue.post(msg::StartMacro{"typed", true}));
    ASSERT_TRUE(waitForCompletions(4));
    EXPECT_EQ(times['C'], started);
    EXPECT_EQ(clock.monotonicMillis() - started, 300);
}

TEST_F(MacroRunnerTest, BusyMarkOrNoToTheQuestionStartsNothingAndAMarkEndsARunAtItsNextPass) {
    writeMacro("m", "A");
    runner->setBusy(true);
    EXPECT_EQ(run("m"), "");
    runner->setBusy(false);
    ASSERT_TRUE(store->SetDword(kDirectRoot, "PromptBefMac", 1));
    messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_EQ(run("m"), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(boxFields(messages.shown[0]),
              box("A macro is about to be executed, do you wish to proceed?", "Attention",
                  MsgIcon::Question, MsgOwner::MainWindow, MsgButtons::YesNo));
    EXPECT_EQ(run("m"), "A");
    using O = RunOutcome;
    EXPECT_EQ(outcomes, (decltype(outcomes){{"m", O::Refused}, {"m", O::Refused}, {"m", O::Ran}}));
    // A mark set during a run ends it at the next pass.
    ASSERT_TRUE(store->SetDword(kDirectRoot, "PromptBefMac", 0));
    writeMacro("three", "B", 3u);
    handlers.setKeystrokeHandler([&](const std::string&, std::uint32_t id) {
        record(static_cast<char>(id));
        runner->setBusy(true);
    });
    EXPECT_EQ(run("three"), "AB");
    // A start while a run is active is refused without a question.
    runner->setBusy(false);
    ASSERT_TRUE(store->SetDword(kDirectRoot, "PromptBefMac", 1));
    forget();
    messages.answers = {MsgAnswer::Yes};
    writeMacro("slow", "d100 B");
    clock.after(10ms, [this] { start("m"); });
    start("slow");
    ASSERT_TRUE(waitForCompletions(6));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(outcomes.at(4), std::pair(std::string("m"), O::Refused));
}

TEST_F(MacroRunnerTest, FailedRunStepPostEndsTheRun) {
    writeMacro("m", "A");
    queue.close();
    runner->RunMacroByName("m");
    ASSERT_TRUE(waitForCompletions(1));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(boxFields(messages.shown[0]),
              box("Failed to start macro: m", "Error", MsgIcon::Stop, MsgOwner::MainWindow));
}

// A message kind of the test's own queue, numbered in the order posted.
template <int Kind>
struct Numbered {
    std::int64_t number = 0;
};

using NumberedQueue = MessageQueue<Numbered<1>, Numbered<2>, Numbered<5>, Numbered<99>>;

TEST(MessageQueueTest, PostsFromOtherThreadsKeepEachThreadsOrder) {
    constexpr int kEach = 2000;
    NumberedQueue queue;
    std::int64_t next[3] = {0, 0, 0};
    queue.setHandler<Numbered<1>>([&](Numbered<1>& m) { EXPECT_EQ(m.number, next[1]++); });
    queue.setHandler<Numbered<2>>([&](Numbered<2>& m) { EXPECT_EQ(m.number, next[2]++); });
    auto poster = [&queue](auto kind) {
        for (int i = 0; i < kEach; ++i) queue.post(decltype(kind){i});
    };
    std::thread first(poster, Numbered<1>{}), second(poster, Numbered<2>{});
    first.join();
    second.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return next[1] + next[2] == 2 * kEach; }));
}

TEST(MessageQueueTest, FailingOrMissingHandlersAndClosingStopNothingThatWaits) {
    NumberedQueue queue;
    std::vector<std::int64_t> received;
    int removals = 0;
    queue.setHandler<Numbered<2>>([&](Numbered<2>& m) { received.push_back(m.number); });
    queue.setHandler<Numbered<1>>([](Numbered<1>&) { throw std::runtime_error("broken handler"); });
    queue.setHandler<Numbered<5>>([&](Numbered<5>&) {  // a handler may remove itself
        ++removals;
        queue.removeHandler<Numbered<5>>();
    });
    for (const NumberedQueue::Message& m :
         {NumberedQueue::Message(Numbered<1>{}), NumberedQueue::Message(Numbered<99>{}),
          NumberedQueue::Message(Numbered<5>{}), NumberedQueue::Message(Numbered<5>{}),
          NumberedQueue::Message(Numbered<2>{7})})
        queue.post(m);
    queue.close();
    EXPECT_FALSE(queue.post(Numbered<2>{}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.empty(); }));
    QTest::qWait(20);
    EXPECT_EQ(received, std::vector<std::int64_t>{7});
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(removals, 1);
}

}  // namespace
}  // namespace ks::test
