#include "triggers/HookThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "QtTestLoop.h"
#include "UsKeymap.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;

// Watches made on the watch thread, driven from the test; `refuse` fails start().
struct FakeKeyWatch final : KeyWatch {
    bool start(Handler h) override { return !refuse && (handler = std::move(h), watching = true); }
    void stop() override { handler = nullptr, watching = false; }
    Handler handler;
    QObject context;  // on the watch thread
    std::atomic<bool> watching = false, refuse = false;
};
struct FakeCancelWatch final : CancelWatch {
    bool start(Handler h) override { return handler = std::move(h), !refuse; }
    void stop() override { handler = nullptr; }
    Handler handler;
    bool refuse = false;  // on start()
};

// Time that stands still, and timers that fire only when the test fires the
// last one made, on the thread that made it.
struct ManualClock final : Clock {
    struct ManualTimer final : Timer {
        explicit ManualTimer(std::function<void()> f) : onTimeout(std::move(f)) {}
        void start(std::chrono::milliseconds delay) override { started = delay.count(); }
        void stop() override { started = -1; }
        bool active() const override { return started >= 0; }
        std::function<void()> onTimeout;
        std::atomic<std::int64_t> started = -1;  // its delay; -1: stopped
        QObject home;                            // on the thread that made the timer
    };
    std::int64_t wallMillis() override { return 0; }
    std::int64_t monotonicMillis() override { return 0; }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override {
        auto made = std::make_unique<ManualTimer>(std::move(onTimeout));
        last = made.get();
        return made;
    }
    void fire() {
        ManualTimer* timer = last;
        QMetaObject::invokeMethod(&timer->home, timer->onTimeout, Qt::BlockingQueuedConnection);
    }
    std::atomic<ManualTimer*> last = nullptr;
};

class HookThreadTest : public ::testing::Test {
protected:
    HookThreadTest() {
        application.setHandler<msg::StartMacro>([this](msg::StartMacro& m) {
            received.push_back("start " + m.macro + (m.keysReleased ? " released" : ""));
        });
        application.setHandler<msg::StopRun>([this](auto&) { received.push_back("stop run"); });
        application.setHandler<msg::HookEnded>([this](auto&) { received.push_back("ended"); });
        application.setHandler<msg::HookError>(
            [this](msg::HookError& m) { received.push_back("error " + m.text); });
    }
    void startThread(bool refuseKeys = false, bool refuseCancel = false) {
        thread = std::make_unique<HookThread>(
            HookThread::Setup{application, clock, [=, this] { return made(watch, refuseKeys); },
                              [=, this] { return made(cancel, refuseCancel); }});
    }
    template <typename Fake>
    static std::unique_ptr<Fake> made(Fake*& fake, bool refuse) {
        auto watch = std::make_unique<Fake>();
        watch->refuse = refuse;
        fake = watch.get();
        return watch;
    }

    // Runs `action` on the watch thread and waits for it.
    void onWatchThread(const std::function<void()>& action) {
        QMetaObject::invokeMethod(&watch->context, action, Qt::BlockingQueuedConnection);
    }
    // Presses or releases (or both, in turn) each of `letters` on the watch thread; `own` ones as
    // the program's own keys, announced and seen before the announcements are read.
    void keys(const char* letters, std::vector<bool> states, bool own = false) {
        onWatchThread([&] {
            for (const char* c = letters; *c; ++c) {
                const std::uint8_t scan = layout.scanOfVk[static_cast<unsigned char>(*c)];
                for (const bool pressed : states) {
                    if (own) thread->postOwnKey(scan, pressed);
                    watch->handler({scan, pressed, own, {}}, layout);
                }
            }
        });
    }
    // What reached the GUI thread's queues after `ms` of running events.
    Texts receivedAfter(int ms) {
        runEventsUntil([] { return false; }, ms);
        return std::exchange(received, {});
    }

    ApplicationQueue application;
    ManualClock clock;
    KeyLayout layout = usKeyLayout();
    FakeKeyWatch* watch = nullptr;
    FakeCancelWatch* cancel = nullptr;
    Texts received;
    std::unique_ptr<HookThread> thread;  // last: it ends before what it uses
};

TEST_F(HookThreadTest, MessagesDriveTheWatchAndAMatchStartsItsMacroOnceItsLastKeyIsUp) {
    startThread();
    ASSERT_TRUE(thread->postAddPhrase({"btw", "Way"}));
    ASSERT_TRUE(thread->postInstallHooks());
    ASSERT_TRUE(runEventsUntil([&] { return watch->watching.load(); }, 2000));

    keys("BT", {true, false});
    keys("W", {true});
    EXPECT_EQ(receivedAfter(5), Texts{}) << "held until the W is up";
    keys("W", {false});
    EXPECT_EQ(receivedAfter(20), Texts{"start Way released"});
    // A key held down is waited for no longer than 50 ms.
    keys("BTW", {true});
    EXPECT_EQ(receivedAfter(20), Texts{});
    EXPECT_EQ(clock.last.load()->started, HookThread::kReleaseWaitMs);
    clock.fire();
    EXPECT_EQ(receivedAfter(20), Texts{"start Way released"});
    keys("BTW", {true, false}, true);  // the program's own keys do not count
    EXPECT_EQ(receivedAfter(80), Texts{});

    onWatchThread([&] { cancel->handler(); });
    EXPECT_EQ(receivedAfter(20), Texts{"stop run"});
    ASSERT_TRUE(thread->postRemovePhrase("WAY"));
    keys("BTW", {true, false});
    EXPECT_EQ(receivedAfter(80), Texts{});
    ASSERT_TRUE(thread->postRemoveHooks());
    ASSERT_TRUE(runEventsUntil([&] { return !watch->watching; }, 2000));
    ASSERT_TRUE(thread->postEnd());
    EXPECT_EQ(receivedAfter(100), Texts{"ended"});
    EXPECT_FALSE(thread->postInstallHooks());

    for (const auto& [refuseKeys, shown] :
         {std::pair{true, "error Unable to set hook for monitoring key board!"},
          std::pair{false, "error Unable to set message hook for monitoring key board!"}}) {
        startThread(refuseKeys, !refuseKeys);
        ASSERT_TRUE(thread->postInstallHooks());
        ASSERT_TRUE(runEventsUntil([&] { return !received.empty(); }, 2000));
        EXPECT_EQ(receivedAfter(0), Texts{shown});
        EXPECT_FALSE(watch->watching);
    }
}

}  // namespace
}  // namespace ks::test
