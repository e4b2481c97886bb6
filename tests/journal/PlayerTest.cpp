#include <gtest/gtest.h>

#include <functional>

#include "FakeClock.h"
#include "FakeExpander.h"
#include "PlayerDoubles.h"
#include "QtTestLoop.h"
#include "RecorderDoubles.h"
#include "journal/Player.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

constexpr const char* kCommand = "Mac\\Commands\\0";

class PlayerTest : public StoreFixture {
public:
    PlayerTest() : player(Player::Services{*store, expander, injector, watch, clock, host}) {
        expander.values["fast"] = "-100";
    }

    void SetUp() override {
        ASSERT_TRUE(store->EnsureRootKeys());
        ASSERT_TRUE(store->CreateMacroKey(kCommand));
    }

    void options(std::uint32_t filter = 1, const std::string& speed = "0") {
        ASSERT_TRUE(store->WriteDword(filter, "\\Macros\\Mac\\Commands\\0", "PlayBackEvent"));
        ASSERT_TRUE(store->WriteMacroString(speed, kCommand, "PlayBackSpeed"));
    }

    void command(const std::string& journal, std::uint32_t filter = 1,
                 const std::string& speed = "0") {
        options(filter, speed);
        ASSERT_TRUE(store->WriteMacroString(journal, kCommand, "JournalName"));
    }

    bool runStepPosted() {
        return clock.run([this] { return host.runSteps > 0; });
    }
    bool played() {
        return clock.run([this] { return !injector.calls.empty(); });
    }
    // Runs until nothing is left to happen.
    void runToRest() {
        clock.run([] { return false; });
    }

    QCoreApplication& app = testApplication();  // before anything that makes timers
    FakeClock clock{0xFFFFFF00};                // ticks wrap around during the playback
    FakeExpander expander;
    RecordingInjector injector{clock};
    ScriptedCancelWatch watch;
    RecordingPlayerHost host;
    Player player;
};

const std::vector<JournalEvent> kMixed = {
    {kWmKeyDown, 0x41, 30, 1000, 0},   {kWmMouseMove, 10, 20, 1020, 0},
    {kWmLButtonDown, 10, 20, 1050, 0}, {kWmLButtonUp, 11, 21, 1060, 0},
    {kWmKeyUp, 0x41, 30, 1100, 0},
};

TEST_F(PlayerTest, PlaysEveryEventInOrderNeverEarlyThenPostsRunStep) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", kMixed, 1));
    command("Rec");
    const std::uint32_t start = clock.ticks();
    host.run = 7;
    player.StartPlayback(kCommand);
    host.run = 8;                         // a later run must not be continued
    EXPECT_TRUE(injector.calls.empty());  // returns before the first event
    ASSERT_TRUE(runStepPosted());
    EXPECT_EQ(injector.whats(), (std::vector<std::string>{
                                    "key 65 down", "motion 10,20", "motion 10,20", "button 1 down",
                                    "motion 11,21", "button 1 up", "key 65 up"}));
    const std::vector<std::pair<std::size_t, std::uint32_t>> due = {
        {0, 0}, {1, 20}, {2, 50}, {4, 60}, {6, 100}};
    for (const auto& [call, offset] : due)
        EXPECT_EQ(injector.calls[call].tick, start + offset) << call;
    EXPECT_EQ(host.runSteps, 1);
    EXPECT_EQ(host.lastNamed, 7u);
    EXPECT_EQ(host.endRuns, 0);
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(watch.watching());
    EXPECT_TRUE(player.watching());  // until the runner removes it
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlayerTest, FilterAndExpandedSpeed) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", kMixed, 1));
    command("Rec", 2, "{fast}");
    player.StartPlayback(kCommand);
    ASSERT_TRUE(runStepPosted());
    EXPECT_EQ(injector.whats(), (std::vector<std::string>{"key 65 down", "key 65 up"}));
    // 100 ms recorded at -100 %: the skipped mouse gaps count unscaled
    // (20 + 30 + 10 raw, then 40 halved to 20).
    EXPECT_EQ(injector.calls[1].tick - injector.calls[0].tick, 80u);
}

TEST_F(PlayerTest, NothingToPlayGoesOnAtOnce) {
    ASSERT_TRUE(WriteRecording(*store, "Empty", {}, 1));
    ASSERT_TRUE(WriteRecording(*store, "Rec", kMixed, 1));
    for (auto [journal, filter] : {std::pair{"Empty", 1u}, std::pair{"Rec", 0u}}) {
        host.runSteps = 0;
        command(journal, filter);
        player.StartPlayback(kCommand);
        ASSERT_TRUE(runStepPosted()) << journal;
        EXPECT_TRUE(injector.calls.empty()) << journal;
    }
}

TEST_F(PlayerTest, StartFailuresEndTheRun) {
    struct Case {
        const char* what;
        std::function<void(PlayerTest&)> arrange;
        std::vector<std::string> texts;
    };
    const std::string hook = "Unable to set hook for play back of recording!";
    const std::vector<Case> cases = {
        {"no JournalName",
         [](PlayerTest& t) { t.options(); },
         {"Error reading value in reigistry at: Software\\Quorvel\\Keystrider\\Macros\\Mac\\"
          "Commands\\0\\JournalName, error: The value does not exist."}},
        {"no recording",
         [](PlayerTest& t) { t.command("Ghost"); },
         {"Error opening key in reigistry at: Software\\Quorvel\\Keystrider\\Journals\\Ghost, "
          "error: The key does not exist."}},
        {"no injection",
         [](PlayerTest& t) {
             t.command("Rec");
             t.injector.usable = false;
         },
         {hook}},
        {"no cancel watch",
         [](PlayerTest& t) {
             t.command("Rec");
             t.watch.startable = false;
         },
         {hook}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayerTest& t = *this;
        ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Macros\\Mac"));
        ASSERT_TRUE(store->CreateMacroKey(kCommand));
        ASSERT_TRUE(WriteRecording(*store, "Rec", kMixed, 1));
        injector.usable = watch.startable = true;
        host.endRuns = 0;
        messages.clear();
        c.arrange(t);
        player.StartPlayback(kCommand);
        EXPECT_EQ(host.endRuns, 1);
        EXPECT_EQ(messages.texts(), c.texts);
        EXPECT_FALSE(player.playing());
        runToRest();
        EXPECT_TRUE(injector.calls.empty());
        EXPECT_EQ(host.runSteps, 0);
    }
    EXPECT_EQ(messages.shown.back().title, "Error");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Stop);
}

std::vector<JournalEvent> slowRecording() {
    return {{kWmKeyDown, 0x41, 30, 0, 0}, {kWmKeyUp, 0x41, 30, 5000, 0}};
}

TEST_F(PlayerTest, UserCancelEndsPlaybackAndRun) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", slowRecording(), 2));
    command("Rec");
    for (bool mainWindow : {true, false}) {
        SCOPED_TRACE(mainWindow);
        host.clear();
        host.hasMainWindow = mainWindow;
        injector.calls.clear();
        messages.clear();
        player.StartPlayback(kCommand);
        ASSERT_TRUE(played());
        watch.fire();
        EXPECT_FALSE(player.playing());
        EXPECT_FALSE(player.watching());
        EXPECT_FALSE(watch.watching());
        EXPECT_EQ(host.raises, 1);
        EXPECT_EQ(host.stopRuns, mainWindow ? 1 : 0);
        if (mainWindow) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text,
                      "Play back of recording has been terminated by the system!\nUnable to "
                      "reset Keystrider!  Please close Keystrider and restart!");
            EXPECT_EQ(messages.shown[0].title, "Attention - Keystrider");
        }
        runToRest();
        EXPECT_EQ(injector.calls.size(), 1u);
        EXPECT_EQ(host.runSteps, 0);
    }
}

TEST_F(PlayerTest, CancelAfterTheRunEndedStopsOnlyThePlayback) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", slowRecording(), 2));
    command("Rec");
    player.StartPlayback(kCommand);
    ASSERT_TRUE(played());
    player.RemoveCancelWatcher();
    EXPECT_TRUE(player.playing());
    watch.fire();
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(host.raises + host.stopRuns + host.runSteps, 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PlayerTest, ANewPlaybackReplacesTheOneUnderWay) {
    ASSERT_TRUE(WriteRecording(*store, "Slow", slowRecording(), 2));
    ASSERT_TRUE(WriteRecording(*store, "Rec", kMixed, 1));
    command("Slow");
    player.StartPlayback(kCommand);
    ASSERT_TRUE(played());
    command("Rec");
    player.StartPlayback(kCommand);
    ASSERT_TRUE(runStepPosted());
    EXPECT_EQ(injector.calls.size(), 1u + 7u);
    runToRest();
    EXPECT_EQ(host.runSteps, 1);
}

// The calls of `notches` wheel notches at 7,8 through `button`.
std::vector<std::string> wheelCalls(int button, int notches) {
    std::vector<std::string> calls{"motion 7,8"};
    for (int i = 0; i < notches; ++i) {
        calls.push_back("button " + std::to_string(button) + " down");
        calls.push_back("button " + std::to_string(button) + " up");
    }
    return calls;
}

TEST(InjectJournalEventTest, TranslatesEachMessage) {
    struct Case {
        JournalEvent event;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {{kWmKeyDown, 0x1E41, 30, 0, 0}, {"key 65 down"}},
        {{kWmSysKeyUp, 0x12, 56, 0, 0}, {"key 18 up"}},
        {{kWmChar, 0x61, 0, 0, 0}, {}},
        {{kWmMouseMove, 5, 6, 0, 0}, {"motion 5,6"}},
        {{kWmRButtonDown, 5, 6, 0, 0}, {"motion 5,6", "button 3 down"}},
        {{kWmMButtonUp, 5, 6, 0, 0}, {"motion 5,6", "button 2 up"}},
        {{kWmLButtonDblClk, 5, 6, 0, 0}, {"motion 5,6", "button 1 down"}},
        {{kWmMouseWheel, 7, 8, 0, 240}, wheelCalls(4, 2)},
        {{kWmMouseWheel, 7, 8, 0, static_cast<std::uint32_t>(-120)}, wheelCalls(5, 1)},
        {{kWmMouseWheel, 7, 8, 0, 30}, wheelCalls(4, 1)},  // part of a notch is one
        {{kWmMouseWheel, 7, 8, 0, 0x7FFFFFFF}, wheelCalls(4, 100)},
        {{kWmMouseWheel, 7, 8, 0, 0x80000000}, wheelCalls(5, 100)},
        {{0x0050, 1, 2, 0, 0}, {}},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        RecordingInjector injector(clock);
        injectJournalEvent(injector, c.event);
        EXPECT_EQ(injector.whats(), c.calls) << c.event.message;
    }
}

}  // namespace
}  // namespace ks::test
