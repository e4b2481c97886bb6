#include <gtest/gtest.h>

#include "FakeClock.h"
#include "FakeExpander.h"
#include "QtTestLoop.h"
#include "RecorderDoubles.h"
#include "RecordingInput.h"
#include "journal/PlaybackSchedule.h"
#include "journal/Player.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t K = kWmKeyDown, M = kWmMouseMove;

struct Recorded {
    std::uint32_t message;
    std::uint32_t time;
    std::uint8_t key = 0x41;
};

// Each event carries its index in `paramH`, so the served order can be read back.
std::vector<JournalEvent> recording(const std::vector<Recorded>& events) {
    std::vector<JournalEvent> out;
    for (std::uint32_t i = 0; i < events.size(); ++i)
        out.push_back({events[i].message, events[i].key, i, events[i].time, 0});
    return out;
}

using Served = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // (index, tick)

// Plays the schedule as the player's loop does, asking again after each wait (which must not
// move the event), each wait `late` ms too long; events are stamped with the tick they are
// served at.
Served play(PlaybackSchedule& schedule, FakeClock& clock, std::uint32_t late) {
    Served served;
    for (int turn = 0; turn < 1000; ++turn) {
        const PlaybackStep step = schedule.getNext();
        if (step.kind == PlaybackStep::Kind::Finished) break;
        if (step.wait > 0) {
            clock.set(clock.monotonicMillis() + step.wait + late);
            continue;
        }
        EXPECT_EQ(step.event.time, clock.ticks()) << step.event.paramH;
        served.emplace_back(step.event.paramH, clock.ticks());
        if (!schedule.skip()) break;
    }
    return served;
}

TEST(PlaybackScheduleTest, TimingRules) {
    struct Case {
        std::vector<Recorded> events;
        std::uint32_t filter;
        std::int32_t speed;
        std::uint32_t start;
        Served expected;
        std::uint32_t late = 0;
    };
    const std::uint32_t wrap = 0xFFFFFF00u;
    const std::vector<Case> cases = {
        {{{K, 0}, {K, 1000}, {K, 2000}}, 1, 100, 10, {{0, 10}, {1, 2009}, {2, 4008}}},
        // Filters add the gaps they skip unscaled.
        {{{K, 0}, {M, 100}, {M, 300}, {K, 1000}}, 2, 100, 0, {{0, 0}, {3, 300 + 1399}}},
        // The first passing event, at index 3, is due after time[2] - time[0].
        {{{K, 0}, {K, 40}, {K, 100}, {M, 150}, {M, 250}}, 3, 100, 1000, {{3, 1100}, {4, 1299}}},
        {{{M, 0}, {M, 10}}, 2, 0, 0, {}},
        {{}, 1, 0, 0, {}},
        {{{K, 100}, {K, 300}, {K, 500}}, 1, 0, wrap, {{0, wrap}, {1, wrap + 200}, {2, wrap + 400}}},
        {{{K, 0xFFFFFFF0u}, {K, 0x10}}, 1, 0, 50, {{0, 50}, {1, 82}}},
        // Waking 30 ms late for each event delays none of the later ones.
        {{{K, 0}, {K, 100}, {K, 200}}, 1, 0, 0, {{0, 0}, {1, 130}, {2, 230}}, 30},
        {{{K, 0}, {K, 500}, {K, 400}}, 1, 0, 0, {{0, 0}, {1, 500}, {2, 500}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases.data());
        FakeClock clock(c.start);
        PlaybackSchedule schedule(recording(c.events), c.filter, c.speed, clock);
        EXPECT_EQ(play(schedule, clock, c.late), c.expected);
    }
}

// Pressed directly once due, only a WM_KEYDOWN pressing; a mouse event at x = 0x5B is no key.
TEST(PlaybackScheduleTest, WindowsKeys) {
    FakeClock clock(0);
    constexpr std::uint8_t L = kVkLeftWindows, R = kVkRightWindows;
    PlaybackSchedule schedule(
        recording({{K, 0, L}, {kWmKeyUp, 100, L}, {kWmSysKeyDown, 200, R}, {M, 300, L}}), 1, 0,
        clock);
    std::string steps;  // what each event is pressed as once due
    for (const std::int64_t due : {0, 100, 200, 300}) {
        EXPECT_EQ(schedule.getNext().wait, due == 0 ? 0 : 100);  // not yet due: waits first
        clock.set(due);
        const PlaybackStep step = schedule.getNext();
        const bool windowsKey = step.kind == PlaybackStep::Kind::PressWindowsKey;
        steps += windowsKey ? (step.keyDown ? "Windows down|" : "Windows up|") : "event|";
        schedule.skip();
    }
    EXPECT_EQ(steps, "Windows down|Windows up|Windows up|event|");
}

// A gap scaled by a speed, and a speed read from its text as far as it is a number.
TEST(PlaybackScheduleTest, SpeedTextAndScaledGap) {
    const std::tuple<std::int32_t, std::int32_t, std::int64_t> gaps[] = {
        {1000, 0, 1000}, {1000, 100, 1999}, {1000, -100, 500},
        {5, -100, 2},    {3, 100, 5},       {2147483647, 100, 4294967246}};
    for (const auto& [gap, speed, scaled] : gaps)
        EXPECT_EQ(scaledGap(gap, speed), scaled) << gap << " at " << speed;
    std::vector<std::int32_t> speeds;
    for (const char* text : {"+40", "  -50x", "", "- 5", "99999999999", "-99999999999"})
        speeds.push_back(parseSpeed(text));
    EXPECT_EQ(speeds, (std::vector<std::int32_t>{40, -50, 0, 0, INT32_MAX, INT32_MIN}));
}

constexpr const char* kCommand = "Mac\\Commands\\0";

// The playback thread on the test's own thread: each step runs from a timer
// of the fake clock once the clock reaches the step's deadline.
class ClockedPlaybackThread final : public PlaybackThread {
public:
    ClockedPlaybackThread(Clock& clock, InputInjector& injector)
        : clock_(clock), injector_(injector), timer_(clock.createTimer([this] { next(); })) {}

    bool available() override { return injector_.available(); }
    void start(Step step, std::function<void()> finished) override {
        step_ = std::move(step);
        finished_ = std::move(finished);
        timer_->start(std::chrono::milliseconds(0));
    }
    void stop() override {
        timer_->stop();
        step_ = nullptr;
    }

private:
    void next() {
        if (const std::optional<std::int64_t> due = step_(injector_))
            return timer_->start(std::chrono::milliseconds(*due - clock_.monotonicMillis()));
        stop();
        finished_();
    }

    Clock& clock_;
    InputInjector& injector_;
    std::unique_ptr<Timer> timer_;
    Step step_;
    std::function<void()> finished_;
};

// Logs what the player asks of the macro run, with the run it names.
class LoggingPlayerHost final : public PlayerHost {
public:
    std::uint64_t currentRun() override { return run; }
    void postRunStep(std::uint64_t of) override { calls.push_back("step " + std::to_string(of)); }
    void endRun(std::uint64_t of) override { calls.push_back("end " + std::to_string(of)); }
    bool raiseMainWindow() override { return calls.push_back("raise"), hasMainWindow; }
    void postStopRun() override { calls.push_back("stop"); }

    std::uint64_t run = 1;
    bool hasMainWindow = true;
    Strings calls;
};

const std::vector<JournalEvent> kMixed = {{kWmKeyDown, 0x41, 30, 1000, 0},
                                          {kWmMouseMove, 10, 20, 1020, 0},
                                          {kWmLButtonDown, 10, 20, 1050, 0},
                                          {kWmLButtonUp, 11, 21, 1060, 0},
                                          {kWmKeyUp, 0x41, 30, 1100, 0}};
const std::vector<JournalEvent> kSlow = {{kWmKeyDown, 0x41, 30, 0, 0},
                                         {kWmKeyUp, 0x41, 30, 5000, 0}};

class PlayerTest : public StoreFixture {
public:
    PlayerTest() : player(Player::Services{*store, expander, thread, watch, clock, host}) {
        expander.values["fast"] = "-100";
    }

    void SetUp() override {
        ASSERT_TRUE(store->EnsureRootKeys());
        ASSERT_TRUE(WriteRecording(*store, "Rec", kMixed, 1));
        ASSERT_TRUE(WriteRecording(*store, "Slow", kSlow, 2));
    }

    // The command plays `journal` (none: no JournalName) with its filter and speed.
    void command(const char* journal, std::uint32_t filter = 1, const std::string& speed = "0") {
        tree->deleteTree("Software\\Quorvel\\Keystrider\\Macros\\Mac");  // from an earlier case
        ASSERT_TRUE(store->CreateMacroKey(kCommand));
        ASSERT_TRUE(store->WriteDword(filter, "\\Macros\\Mac\\Commands\\0", "PlayBackEvent"));
        ASSERT_TRUE(store->WriteMacroString(speed, kCommand, "PlayBackSpeed"));
        ASSERT_TRUE(!journal || store->WriteMacroString(journal, kCommand, "JournalName"));
    }
    // Starts the command and runs until the player hands the run on or has played an event.
    bool play() {
        host.calls.clear();
        injector.calls.clear();
        player.startPlayback(kCommand);
        return clock.run([this] { return !host.calls.empty() || !injector.calls.empty(); });
    }

    QCoreApplication& app = testApplication();  // before anything that makes timers
    FakeClock clock{0xFFFFFF00};                // ticks wrap around during the playback
    FakeExpander expander;
    RecordingInjector injector{clock};
    ClockedPlaybackThread thread{clock, injector};
    ScriptedCancelWatch watch;
    LoggingPlayerHost host;
    Player player;
};

// At an expanded -100 %, each gap is halved.
TEST_F(PlayerTest, PlaysEveryEventInOrderNeverEarlyThenPostsRunStep) {
    command("Rec", 1, "{fast}");
    const std::uint32_t start = clock.ticks();
    host.run = 7;
    player.startPlayback(kCommand);
    host.run = 8;                         // a later run must not be continued
    EXPECT_TRUE(injector.calls.empty());  // returns before the first event
    ASSERT_TRUE(clock.run([this] { return !host.calls.empty(); }));
    EXPECT_EQ(injector.whats(),
              (Strings{"key 65 down", "motion 10,20", "motion 10,20", "button 1 down",
                       "motion 11,21", "button 1 up", "key 65 up"}));
    std::vector<std::uint32_t> ticks;
    for (const auto& call : injector.calls) ticks.push_back(call.tick - start);
    EXPECT_EQ(ticks, (std::vector<std::uint32_t>{0, 10, 25, 25, 30, 30, 50}));
    EXPECT_EQ(host.calls, Strings{"step 7"});
    EXPECT_FALSE(player.playing() || watch.watching());
    EXPECT_TRUE(player.watching());  // until the runner removes it
    EXPECT_TRUE(messages.shown.empty());

    // A new playback replaces the one under way.
    command("Slow");
    ASSERT_TRUE(play());
    command("Rec");
    player.startPlayback(kCommand);
    clock.run([] { return false; });  // to rest
    EXPECT_EQ(injector.calls.size(), 1u + 7u);
    EXPECT_EQ(host.calls, Strings{"step 8"});
}

TEST_F(PlayerTest, NothingToPlayGoesOnAtOnceAndAFailedStartEndsTheRun) {
    const std::string hook = "Error: Unable to set hook for play back of recording!";
    const std::string at = " in reigistry at: Software\\Quorvel\\Keystrider\\";
    // {journal (none: no JournalName), filter, injects, watches, message box}
    const std::vector<std::tuple<const char*, std::uint32_t, bool, bool, std::string>> cases = {
        {"Rec", 0, true, true, ""},  // a filter that lets nothing through
        {nullptr, 1, true, true,
         "Attention: Error reading value" + at +
             "Macros\\Mac\\Commands\\0\\JournalName, error: The value does not exist."},
        {"Ghost", 1, true, true,
         "Attention: Error opening key" + at + "Journals\\Ghost, error: The key does not exist."},
        {"Rec", 1, false, true, hook},
        {"Rec", 1, true, false, hook}};
    for (const auto& [journal, filter, injects, watches, box] : cases) {
        SCOPED_TRACE(box);
        command(journal, filter);
        injector.usable = injects;
        watch.startable = watches;
        messages.clear();
        ASSERT_TRUE(play());
        clock.run([] { return false; });  // to rest
        EXPECT_TRUE(injector.calls.empty());
        EXPECT_FALSE(player.playing());
        EXPECT_EQ(host.calls, Strings{box.empty() ? "step 1" : "end 1"});
        EXPECT_EQ(boxes(messages), box.empty() ? Strings{} : Strings{box});
    }
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Stop);
}

// A cancel after the runner removed the watcher stops only the playback.
TEST_F(PlayerTest, UserCancelEndsPlaybackAndRun) {
    command("Slow");
    const std::string reset =
        "Attention - Keystrider: Play back of recording has been terminated by the system!\n"
        "Unable to reset Keystrider!  Please close Keystrider and restart!";
    for (const auto& [mainWindow, removed, calls, shown] :
         {std::tuple{true, false, Strings{"raise", "stop"}, Strings{}},
          std::tuple{false, false, Strings{"raise"}, Strings{reset}},
          std::tuple{true, true, Strings{}, Strings{}}}) {
        SCOPED_TRACE(testing::Message() << mainWindow << removed);
        host.hasMainWindow = mainWindow;
        messages.clear();
        ASSERT_TRUE(play());
        if (removed) player.removeCancelWatcher();
        EXPECT_TRUE(player.playing());
        watch.fire();
        EXPECT_FALSE(player.playing() || player.watching() || watch.watching());
        clock.run([] { return false; });  // to rest
        EXPECT_EQ(injector.calls.size(), 1u);
        EXPECT_EQ(host.calls, calls);  // no run step
        EXPECT_EQ(boxes(messages), shown);
    }
}

// The calls of `notches` wheel notches at 7,8 through `button`.
Strings wheelCalls(int button, int notches) {
    Strings calls{"motion 7,8"};
    for (int i = 0; i < 2 * notches; ++i)
        calls.push_back("button " + std::to_string(button) + (i % 2 ? " up" : " down"));
    return calls;
}

TEST(InjectJournalEventTest, TranslatesEachMessage) {
    const std::vector<std::pair<JournalEvent, Strings>> cases = {
        {{kWmKeyDown, 0x1E41, 30, 0, 0}, {"key 65 down"}},
        {{kWmSysKeyUp, 0x12, 56, 0, 0}, {"key 18 up"}},
        {{kWmChar, 0x61, 0, 0, 0}, {}},
        {{kWmRButtonDown, 5, 6, 0, 0}, {"motion 5,6", "button 3 down"}},
        {{kWmMButtonUp, 5, 6, 0, 0}, {"motion 5,6", "button 2 up"}},
        {{kWmLButtonDblClk, 5, 6, 0, 0}, {"motion 5,6", "button 1 down"}},
        {{kWmMouseWheel, 7, 8, 0, 240}, wheelCalls(4, 2)},
        {{kWmMouseWheel, 7, 8, 0, 30}, wheelCalls(4, 1)},  // part of a notch is one
        {{kWmMouseWheel, 7, 8, 0, 0x7FFFFFFF}, wheelCalls(4, 100)},
        {{kWmMouseWheel, 7, 8, 0, 0x80000000}, wheelCalls(5, 100)}};
    for (const auto& [event, calls] : cases) {
        FakeClock clock;
        RecordingInjector injector(clock);
        injectJournalEvent(injector, event);
        EXPECT_EQ(injector.whats(), calls) << event.message;
    }
}

}  // namespace
}  // namespace ks::test
