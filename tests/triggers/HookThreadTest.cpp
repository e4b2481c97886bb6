#include "triggers/HookThread.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <cctype>
#include <string>
#include <vector>

#include "QtTestLoop.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "triggers/PhraseTriggers.h"

namespace ks::test {
namespace {

// A key watch and a cancel watch made on the watch thread, driven from the test.
class FakeKeyWatch final : public KeyWatch {
public:
    bool start(Handler onKey) override {
        if (refuse) return false;
        handler = std::move(onKey);
        watching = true;
        return true;
    }
    void stop() override {
        handler = nullptr;
        watching = false;
    }
    Handler handler;
    QObject context;  // on the watch thread
    std::atomic<bool> watching = false;
    bool refuse = false;
};

class FakeCancelWatch final : public CancelWatch {
public:
    bool start(Handler onCancel) override {
        handler = std::move(onCancel);
        return !refuse;
    }
    void stop() override { handler = nullptr; }
    Handler handler;
    bool refuse = false;
};

class HookThreadTest : public ::testing::Test {
protected:
    HookThreadTest() {
        for (std::uint32_t id : {kMsgStartMacro, kMsgHookEnded, kMsgHookError}) {
            application.setHandler(id, [this](Message& m) { note(m); });
        }
        mainWindow.setHandler(kMsgStopRun, [this](Message& m) { note(m); });
    }

    void note(const Message& m) {
        received.push_back(std::to_string(m.id - kWmUser) + (m.text1 ? " " + *m.text1 : "") +
                           (m.number ? " " + std::to_string(m.number) : ""));
    }

    std::unique_ptr<HookThread> startThread(bool refuseKeys = false, bool refuseCancel = false) {
        return std::make_unique<HookThread>(
            HookThread::Setup{application, mainWindow,
                              [this, refuseKeys] {
                                  auto made = std::make_unique<FakeKeyWatch>();
                                  made->refuse = refuseKeys;
                                  keys = made.get();
                                  return made;
                              },
                              [this, refuseCancel] {
                                  auto made = std::make_unique<FakeCancelWatch>();
                                  made->refuse = refuseCancel;
                                  cancel = made.get();
                                  return made;
                              }});
    }

    // Runs `action` on the watch thread and waits for it.
    void onWatchThread(const std::function<void()>& action) {
        QMetaObject::invokeMethod(&keys->context, action, Qt::BlockingQueuedConnection);
    }
    void key(char ch, bool pressed, bool synthetic = false) {
        const std::uint8_t scan = layout.scanOfVk[std::toupper(static_cast<unsigned char>(ch))];
        onWatchThread([&] { keys->handler({scan, pressed, synthetic, {}}, layout); });
    }
    void type(const char* text, bool synthetic = false) {
        for (const char* c = text; *c; ++c) key(*c, true, synthetic), key(*c, false, synthetic);
    }
    // What reached the GUI thread's queues after `ms` of running events.
    std::vector<std::string> receivedAfter(int ms) {
        runEventsUntil([] { return false; }, ms);
        return std::exchange(received, {});
    }

    MessageQueue application, mainWindow;
    KeyLayout layout = usKeyLayout();
    FakeKeyWatch* keys = nullptr;
    FakeCancelWatch* cancel = nullptr;
    std::vector<std::string> received;
};

using Texts = std::vector<std::string>;

TEST_F(HookThreadTest, MessagesDriveTheWatchAndAMatchStartsItsMacroOnceItsLastKeyIsUp) {
    auto thread = startThread();
    ASSERT_TRUE(thread->postAddPhrase({"btw", "Way"}));
    ASSERT_TRUE(thread->postInstallHooks());
    ASSERT_TRUE(runEventsUntil([&] { return keys->watching.load(); }, 2000));

    type("bt");
    key('W', true);
    EXPECT_EQ(receivedAfter(5), Texts{}) << "held until the W is up";
    key('W', false);
    EXPECT_EQ(receivedAfter(20), Texts{"13 Way 1"});

    // A key held down is waited for no longer than 50 ms.
    type("bt");
    QElapsedTimer held;
    held.start();
    key('W', true);
    ASSERT_TRUE(runEventsUntil([&] { return !received.empty(); }, 2000));
    EXPECT_GE(held.elapsed(), HookThread::kReleaseWaitMs - 5);
    EXPECT_EQ(receivedAfter(0), Texts{"13 Way 1"});
    key('W', false);

    // The program's own keys, announced before they come, do not count, even
    // when they come before the watch thread has read the announcements;
    // synthesised keys not announced do.
    onWatchThread([&] {
        for (const char ch : std::string("BTW")) {
            const std::uint8_t scan = layout.scanOfVk[static_cast<unsigned char>(ch)];
            thread->postOwnKey(scan, true);
            thread->postOwnKey(scan, false);
        }
        for (const char ch : std::string("BTW")) {
            const std::uint8_t scan = layout.scanOfVk[static_cast<unsigned char>(ch)];
            keys->handler({scan, true, true, {}}, layout);
            keys->handler({scan, false, true, {}}, layout);
        }
    });
    EXPECT_EQ(receivedAfter(80), Texts{});
    type("BTW", true);
    EXPECT_EQ(receivedAfter(20), Texts{"13 Way 1"});

    onWatchThread([&] { cancel->handler(); });
    EXPECT_EQ(receivedAfter(20), Texts{"14"});

    ASSERT_TRUE(thread->postRemovePhrase("WAY"));
    type("btw");
    EXPECT_EQ(receivedAfter(80), Texts{});

    ASSERT_TRUE(thread->postRemoveHooks());
    ASSERT_TRUE(runEventsUntil([&] { return !keys->watching; }, 2000));
    ASSERT_TRUE(thread->postEnd());
    EXPECT_EQ(receivedAfter(100), Texts{"9"});
    EXPECT_FALSE(thread->postInstallHooks());
}

TEST_F(HookThreadTest, AWatchThatCannotStartIsReportedAndLeavesNothingWatching) {
    for (const auto& [refuseKeys, shown] :
         {std::pair{true, "101 Unable to set hook for monitoring key board!"},
          std::pair{false, "101 Unable to set message hook for monitoring key board!"}}) {
        auto thread = startThread(refuseKeys, !refuseKeys);
        ASSERT_TRUE(thread->postInstallHooks());
        ASSERT_TRUE(runEventsUntil([&] { return !received.empty(); }, 2000));
        EXPECT_EQ(receivedAfter(0), Texts{shown});
        EXPECT_FALSE(keys->watching);
    }
}

class PhraseTriggersTest : public StoreFixture {
protected:
    std::vector<std::string> posts;
    bool postSucceeds = true;
    PhraseTriggers triggers{
        *store,
        {[this](const PhraseEntry& e) {
             posts.push_back("add " + e.phrase + " " + e.macro + (e.matchCase ? " case" : ""));
             return postSucceeds;
         },
         [this](std::string_view macro) {
             posts.push_back("remove " + std::string(macro));
             return postSucceeds;
         }}};
};

TEST_F(PhraseTriggersTest, EveryChangeGoesToTheWatchThreadAndTheTableKeepsItsOwnCopy) {
    load(R"([Macros\Both]
            "WPhrase"="btw"
            "WPhraseCase"=dword:00000001
            [Macros\NoCase]
            "WPhrase"="teh"
            [Macros\NoPhrase]
            "WPhraseCase"=dword:00000000)");
    for (const char* macro : {"Both", "NoCase", "NoPhrase"}) triggers.Load(macro);
    triggers.Register({"BTW", "Later"});
    triggers.Unregister("later");
    postSucceeds = false;
    triggers.Register({"x", "X"});
    EXPECT_EQ(posts, (Texts{"add btw Both case", "add BTW Later", "remove later", "add x X"}));
    EXPECT_EQ(messages.texts(), Texts{"Error posting message to hook thread."});
    EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    EXPECT_EQ(triggers.DisplayText("x") + "|" + triggers.DisplayText("both"), "x|");
    EXPECT_EQ(triggers.OwnerOf("X", false), "X");
}

}  // namespace
}  // namespace ks::test
