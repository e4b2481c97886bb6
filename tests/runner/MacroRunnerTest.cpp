#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cctype>
#include <ostream>
#include <stdexcept>

#include "RunnerFixture.h"

namespace ks::test {
namespace {

constexpr const char* kTerminated = "Macro has been terminated by the user!";
constexpr const char* kBadRepeat =
    "Argument to the REPEAT command must be integer values and greater than 0.";
constexpr const char* kStoreReadError = "Error reading value in reigistry at: ";

// ---------------------------------------------------------------------------
// What runs, in which order: control commands, passes, gaps.

struct ProgramCase {
    const char* program;
    std::optional<std::uint32_t> repeat;
    const char* expected;
    std::vector<std::string> messagePrefixes;
};

void PrintTo(const ProgramCase& c, std::ostream* out) {
    *out << '"' << c.program << "\" repeat " << (c.repeat ? std::to_string(*c.repeat) : "missing");
}

// "r3 A l B" as the 7th case becomes "6_r3_A_l_B".
std::string caseName(const ::testing::TestParamInfo<ProgramCase>& info) {
    std::string name = std::to_string(info.index) + "_";
    for (const char c : std::string(info.param.program)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

class ProgramTest : public RunnerFixture, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(ProgramTest, RunsTheExpectedCommandsInOrder) {
    const ProgramCase& c = GetParam();
    expander.values["n"] = "3";
    writeMacro("m", c.program, c.repeat);
    EXPECT_EQ(run("m"), c.expected);
    const std::vector<std::string> shown = messages.texts();
    ASSERT_EQ(shown.size(), c.messagePrefixes.size()) << ::testing::PrintToString(shown);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].rfind(c.messagePrefixes[i], 0), 0u) << shown[i];
    }
    EXPECT_EQ(pending.completions, 1);
}

const ProgramCase kProgramCases[] = {
    // REPEAT and LOOP
    {"r3 A l B", {}, "AAAB", {}},
    {"r{n} A l", {}, "AAA", {}},
    {"r2 r3 A l B l C", {}, "AAABAAABC", {}},
    {"r3 A r0 B l C l", {}, "ACACAC", {}},
    {"r0 A r2 B l C l D", {}, "D", {}},  // a skipped body is skipped whole
    {"r0 A B", {}, "", {}},              // no LOOP: the skip ends the pass
    {"r2 A", {}, "A", {}},               // no LOOP: the body runs once
    {"l A", {}, "A", {}},                // LOOP without REPEAT
    // invalid counts: no frame, the body runs once, its LOOP closes the outer REPEAT
    {"rx A l B", {}, "AB", {kBadRepeat}},
    {"r2 rx A l B l", {}, "AAB", {kBadRepeat, kBadRepeat}},
    {"r? A l", {}, "A", {kStoreReadError}},
    // passes
    {"A B", 3u, "ABABAB", {}},
    {"A B", 0u, "AB", {}},
    {"r2 A l", 2u, "AAAA", {}},
    {"l A r2 B", 2u, "ABAB", {}},  // the LoopStack is emptied at each pass
    // gaps end the list
    {"A B _ C", {}, "AB", {}},
    {"_ A", {}, "", {}},
    // DELAY and PAUSE
    {"d-5 A", {}, "A", {"Invalid delay interval: -5"}},
    {"d A", {}, "A", {"Invalid delay interval: "}},
    {"d? A", {}, "A", {kStoreReadError}},
    {"A p B", {}, "AB", {"Click OK to continue..."}},
    // a failed wait ends the run without "Macro has been terminated by the user!"
    {"A w B", {}, "Aw", {}},
    {"A s B", {}, "ASB", {}},  // SHUTDOWN KEYSTRIDER calls the shutdown and goes on
    // identifiers outside the table are keystrokes
    {"A Z", {}, "AZ", {}},
};

INSTANTIATE_TEST_SUITE_P(Programs, ProgramTest, ::testing::ValuesIn(kProgramCases), caseName);

class MacroRunnerTest : public RunnerFixture {};

TEST_F(MacroRunnerTest, EmptyListStillCountsItsPasses) {
    int watcherRemovals = 0;
    runner->setCancelWatcherRemover([&] { ++watcherRemovals; });
    writeMacro("empty", "", 3u);
    EXPECT_EQ(run("empty"), "");
    // Once before each further pass, once when the run ends.
    EXPECT_EQ(watcherRemovals, 3);
}

TEST_F(MacroRunnerTest, RepeatWithoutLoopKeepsItsFrameUntilTheNextPass) {
    writeMacro("m", "A r5 B");
    run("m");
    ASSERT_EQ(runner->loopStack().size(), 1u);
    EXPECT_EQ(runner->loopStack()[0].count, 5);
    EXPECT_EQ(runner->loopStack()[0].returnPosition, 2);
    EXPECT_EQ(runner->loopStack()[0].done, 0);
    writeMacro("n", "l C");
    EXPECT_EQ(run("n"), "ABC");
    EXPECT_TRUE(runner->loopStack().empty());
}

TEST_F(MacroRunnerTest, NameWithoutMacroRunsAnEmptyList) {
    EXPECT_EQ(run("no such macro"), "");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MacroRunnerTest, ReadsEachCommandWhenItsTurnComes) {
    writeMacro("m", "A B C");
    dispatch.setKeystrokeHandler([this](const std::string&, std::uint32_t id) {
        record(static_cast<char>(id));
        const std::string commands = macroKey("m") + "\\Commands\\";
        if (id == 'A') store->SetDword(commands + "1", "id", 'X');
        if (id == 'X') store->DeleteValue(commands + "2", "id");
    });
    EXPECT_EQ(run("m"), "AX");
}

TEST_F(MacroRunnerTest, HandlersGetTheCommandKeyPath) {
    std::vector<std::string> paths;
    dispatch.setKeystrokeHandler(
        [&](const std::string& path, std::uint32_t) { paths.push_back(path); });
    writeMacro("Mine", "A r2 B l");
    run("Mine");
    EXPECT_EQ(paths, (std::vector<std::string>{"Mine\\Commands\\0", "Mine\\Commands\\2",
                                               "Mine\\Commands\\2"}));
}

// ---------------------------------------------------------------------------
// DELAY timing and stopping, on virtual time: the pass starts at 1 ms.

TEST_F(MacroRunnerTest, DelayEndsOnceMoreThanItsIntervalHasPassed) {
    expander.values["t"] = "30";
    writeMacro("m", "A d{t} B");
    EXPECT_EQ(run("m"), "AB");
    EXPECT_EQ(timeOf('B') - timeOf('A'), 31);
}

TEST_F(MacroRunnerTest, StopEndsDelayAtOnceAndTellsTheUser) {
    for (const auto& [program, stop] :
         {std::pair{"A d60000 B", kMsgStopRun}, std::pair{"A d0 B", kMsgCancelJournal}}) {
        SCOPED_TRACE(program);
        messages.clear();
        events.clear();
        writeMacro("m", program);
        clock.after(100ms, [&, stop = stop] { postStop(stop); });
        EXPECT_EQ(run("m"), "A");
        EXPECT_EQ(timeOf('A') + 99, pending.lastCompletion);
        ASSERT_EQ(messages.shown.size(), 1u);
        const MessageBox& box = messages.shown[0];
        EXPECT_EQ(box.text, kTerminated);
        EXPECT_EQ(box.title, "Attention");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.owner, MsgOwner::SystemModal);
    }
}

TEST_F(MacroRunnerTest, StartRequestDuringDelayIsDroppedSilently) {
    writeMacro("slow", "A d200 B");
    writeMacro("other", "C");
    clock.after(60ms, [&] { start("other"); });
    start("slow");
    ASSERT_TRUE(waitForCompletions(2));
    EXPECT_EQ(pending.lastCompletion, 202);  // the slow run's end; the other was answered at 60
    EXPECT_EQ(ran(), "AB");
    EXPECT_TRUE(messages.shown.empty());
    // A request processed after the run has ended starts normally.
    EXPECT_EQ(run("other"), "ABC");
}

TEST_F(MacroRunnerTest, StaleRunStepDuringDelayRunsNothingTwice) {
    writeMacro("m", "A d50 B");
    dispatch.setKeystrokeHandler([this](const std::string&, std::uint32_t id) {
        record(static_cast<char>(id));
        if (id == 'A') runner->PostRunStep(runner->CurrentRun());
    });
    EXPECT_EQ(run("m"), "AB");
    EXPECT_EQ(timeOf('B') - timeOf('A'), 51);
}

TEST_F(MacroRunnerTest, ApplicationQuittingEndsADelay) {
    writeMacro("m", "A d0 B");
    start("m");
    clock.after(100ms, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    EXPECT_FALSE(runner->RunActive());
    EXPECT_EQ(pending.completions, 1);
    EXPECT_EQ(ran(), "A");
    EXPECT_TRUE(messages.shown.empty());
}

// ---------------------------------------------------------------------------
// Run generations: a run started while an older one's stepping is still on
// the stack, here from the stop box the older run's stop shows, is stepped at
// once, neither held up by the older run's DELAY nor ended by its failing wait.

TEST_F(MacroRunnerTest, NewRunStartedBelowAnOlderRunsStackRunsAtOnce) {
    struct Case {
        const char* what;
        const char* older;
        bool boxOpenUntilNewRunEnds;  // otherwise it closes once the new run has started
        const char* ran;
    };
    const Case cases[] = {
        {"stepped inside the box, not ignored", "A d60000 B", true, "ACD"},
        {"not held back by the older DELAY", "A d1000 B", false, "ACD"},
        {"not ended by the older wait's failure", "A w B", false, "AwCD"},
    };
    dispatch.setHandler(kWaitForWindow, [this](const std::string&, std::uint32_t) {
        record('w');
        runner->WaitWhileRunning(500ms);
        return CommandResult::Failed;  // the window never came
    });
    writeMacro("new", "C d10 D");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clock.set(0);
        events.clear();
        messages.clear();
        pending.completions = 0;
        writeMacro("old", c.older);
        // The box's modal loop serves the queue: the new run starts while it is open.
        messages.whileShown = [&](const MessageBox&) {
            start("new");
            EXPECT_TRUE(clock.run([&] {
                return c.boxOpenUntilNewRunEnds ? pending.completions == 2 : runner->RunActive();
            }));
        };
        clock.after(100ms, [this] { postStop(); });
        start("old");
        ASSERT_TRUE(waitForCompletions(2));
        messages.whileShown = nullptr;
        EXPECT_EQ(ran(), c.ran);
        EXPECT_EQ(timeOf('C'), 101);
        EXPECT_EQ(timeOf('D'), 112);
        EXPECT_FALSE(runner->RunActive());
        EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});
    }
}

// ---------------------------------------------------------------------------
// Stop requests between commands.

// A message queued during a command waits until the run returns, unless a
// stop follows it: then it goes with the run.
TEST_F(MacroRunnerTest, MessagesQueuedDuringARunWaitOrGoWithAStop) {
    queue.setHandler(2000, [&](Message&) { record('M'); });
    for (const bool stop : {false, true}) {
        events.clear();
        dispatch.setKeystrokeHandler([&](const std::string&, std::uint32_t id) {
            record(static_cast<char>(id));
            if (id != 'A') return;
            queue.post(Message{2000, {}, {}, 0});
            if (stop) postStop();
        });
        writeMacro("m", "A B C");
        run("m");
        ASSERT_TRUE(clock.run([&] { return queue.empty(); }));
        EXPECT_EQ(ran(), stop ? "AM" : "ABCM");
    }
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});
}

TEST_F(MacroRunnerTest, StopWithoutARunShowsNothing) {
    postStop();
    EXPECT_TRUE(clock.run([&] { return queue.empty(); }));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(pending.completions, 0);
}

// ---------------------------------------------------------------------------
// Starting: the pass-start wait, the busy mark, the question.

TEST_F(MacroRunnerTest, PassStartsAfterItsWaitDuringWhichStartsAndStopsCount) {
    runner->setPassStartWait(MacroRunner::kPassStartWait);
    writeMacro("one", "A");
    writeMacro("two", "B");
    start("one");
    start("two");
    // A run step left over from some earlier pass must not cut the wait short.
    runner->PostRunStep(1);
    ASSERT_TRUE(waitForCompletions(2));
    EXPECT_EQ(ran(), "A");
    EXPECT_EQ(timeOf('A'), 300);
    // A stop during the wait ends the run before anything runs.
    clock.after(100ms, [this] { postStop(); });
    start("one");
    ASSERT_TRUE(waitForCompletions(3));
    clock.run([] { return false; });  // until nothing is left to happen
    EXPECT_EQ(ran(), "A");
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});
}

TEST_F(MacroRunnerTest, BusyMarkLosesTheRequestAndEndsARunAtTheNextPass) {
    writeMacro("m", "A");
    runner->setBusy(true);
    start("m");
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_FALSE(runner->RunActive());
    EXPECT_EQ(ran(), "");
    EXPECT_TRUE(messages.shown.empty());

    runner->setBusy(false);
    writeMacro("m", "A", 3u);
    dispatch.setKeystrokeHandler([&](const std::string&, std::uint32_t id) {
        record(static_cast<char>(id));
        runner->setBusy(true);
    });
    EXPECT_EQ(run("m"), "A");
    EXPECT_EQ(pending.completions, 2);
}

TEST_F(MacroRunnerTest, QuestionAnsweredNoStartsNothing) {
    ASSERT_TRUE(store->SetDword(kDirectRoot, "PromptBefMac", 1));
    writeMacro("m", "A");
    messages.answers = {MsgAnswer::No};
    start("m");
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_FALSE(runner->RunActive());
    EXPECT_EQ(ran(), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    const MessageBox& box = messages.shown[0];
    EXPECT_EQ(box.text, "A macro is about to be executed, do you wish to proceed?");
    EXPECT_EQ(box.title, "Attention");
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.owner, MsgOwner::MainWindow);

    messages.answers = {MsgAnswer::Yes};
    EXPECT_EQ(run("m"), "A");
}

TEST_F(MacroRunnerTest, FailedRunStepPostEndsTheRun) {
    writeMacro("m", "A");
    queue.close();
    runner->RunMacroByName("m");
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_FALSE(runner->RunActive());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Failed to start macro: m");
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
    EXPECT_EQ(messages.shown[0].owner, MsgOwner::MainWindow);
}

// ---------------------------------------------------------------------------
// Commands that end, hand over or leave the run.

TEST_F(MacroRunnerTest, CommandWithoutAHandlerEndsTheRunNamingIt) {
    writeMacro("m", "A x B");
    EXPECT_EQ(run("m"), "A");
    ASSERT_EQ(messages.shown.size(), 1u);
    const MessageBox& box = messages.shown[0];
    EXPECT_EQ(box.text, "Unable to execute command SET CLOCK!\nThe macro has been terminated.");
    EXPECT_EQ(box.title, "Keystrider");
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
}

TEST_F(MacroRunnerTest, WaitStoppedMeanwhileEndsTheRunOnce) {
    dispatch.setHandler(kWaitForWindow, [&](const std::string&, std::uint32_t) {
        clock.after(30ms, [this] { postStop(); });
        return runner->WaitWhileRunning(10s) ? CommandResult::Next : CommandResult::Failed;
    });
    writeMacro("m", "A w B");
    EXPECT_EQ(run("m"), "A");
    EXPECT_EQ(pending.lastCompletion, timeOf('A') + 30);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});
    EXPECT_EQ(pending.completions, 1);
}

TEST_F(MacroRunnerTest, HandoverWaitsForTheNextRunStep) {
    writeMacro("m", "A h B");
    dispatch.setHandler(kPlaybackRecording, [&](const std::string&, std::uint32_t) {
        record('h');
        const RunGeneration run = runner->CurrentRun();
        clock.after(40ms, [this, run] { runner->PostRunStep(run); });
        return CommandResult::Handover;
    });
    start("m");
    ASSERT_TRUE(clock.run([&] { return ran() == "Ah"; }));
    EXPECT_TRUE(runner->RunActive());
    ASSERT_TRUE(waitForCompletions(1));
    EXPECT_EQ(ran(), "AhB");
    EXPECT_EQ(timeOf('B') - timeOf('h'), 40);
}

TEST_F(MacroRunnerTest, CommandThatThrowsEndsTheRun) {
    dispatch.setKeystrokeHandler([&](const std::string&, std::uint32_t id) {
        record(static_cast<char>(id));
        if (id == 'A') throw std::runtime_error("handler failed");
    });
    writeMacro("m", "A B");
    EXPECT_EQ(run("m"), "A");
    writeMacro("n", "C");
    EXPECT_EQ(run("n"), "AC");
}

}  // namespace
}  // namespace ks::test
