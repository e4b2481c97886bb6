#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Clock.h"

namespace ks::test {

// Virtual time: it moves only by set(), or when an event loop (run()'s or any
// other) has nothing left to do: then it jumps to the earliest armed timer,
// which fires. Waits take no real time, and tests check exact times.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::int64_t start = 0) : now_(start) {}

    std::int64_t wallMillis() override { return now_ + wallOffset_; }
    std::int64_t monotonicMillis() override { return now_; }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override {
        if (!idle_ && QCoreApplication::instance() != nullptr) watchIdle();
        return std::make_unique<FakeTimer>(*this, std::move(onTimeout));
    }

    void set(std::int64_t millis) { now_ = millis; }  // fires nothing
    // The wall clock alone set, as by hand or over a suspend; timers keep counting elapsed time.
    void setWall(std::int64_t millis) { wallOffset_ = millis - now_; }
    // The test's own action, `delay` from now.
    void after(std::chrono::milliseconds delay, std::function<void()> action) {
        actions_.push_back(createTimer(std::move(action)));
        actions_.back()->start(delay);
    }
    // Runs the event loop until `done`; false when all came to rest before.
    bool run(const std::function<bool()>& done) {
        stalled_ = false;
        while (!done() && !stalled_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    }

private:
    struct FakeTimer final : Timer {
        FakeTimer(FakeClock& owner, std::function<void()> callback)
            : clock(owner), onTimeout(std::move(callback)) {
            clock.timers_.push_back(this);
        }
        ~FakeTimer() override { std::erase(clock.timers_, this); }
        void start(std::chrono::milliseconds delay) override {
            deadline = clock.now_ + std::max<std::int64_t>(0, delay.count());
            order = ++clock.starts_;  // timers due together fire in the order started
        }
        void stop() override { deadline.reset(); }
        bool active() const override { return deadline.has_value(); }

        FakeClock& clock;
        std::function<void()> onTimeout;
        std::optional<std::int64_t> deadline;
        std::uint64_t order = 0;
    };

    // Some dispatchers announce blocking while events wait: a turn acts only if none came since.
    struct IdleWatch final : QObject {
        bool eventFilter(QObject* watched, QEvent*) override {
            if (watched != this) ++delivered;
            return false;
        }
        std::uint64_t delivered = 0;
    };

    void watchIdle() {
        idle_ = std::make_unique<IdleWatch>();
        QCoreApplication::instance()->installEventFilter(idle_.get());
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, idle_.get(),
                         [this] { postIdleTurn(); });
    }

    void postIdleTurn() {
        if (stalled_ && idle_->delivered == deliveredAtTurn_) return;
        const std::uint64_t turn = ++turns_;
        deliveredAtTurn_ = idle_->delivered;
        QMetaObject::invokeMethod(
            idle_.get(), [this, turn] { idleTurn(turn); }, Qt::QueuedConnection);
    }

    // Only the latest turn acts: one posted before a nested loop runs only after it ended.
    void idleTurn(std::uint64_t turn) {
        if (turn != turns_ || idle_->delivered != deliveredAtTurn_) return;
        const auto next = std::ranges::min_element(timers_, {}, [](const FakeTimer* t) {
            return std::pair(t->deadline.value_or(INT64_MAX), t->order);
        });
        stalled_ = next == timers_.end() || !(*next)->deadline;
        if (stalled_) return QAbstractEventDispatcher::instance()->interrupt();
        FakeTimer* due = *next;
        now_ = std::max(now_, *due->deadline);
        due->deadline.reset();
        const std::function<void()> fire = due->onTimeout;  // it may destroy its timer
        fire();
    }

    std::int64_t now_;
    std::int64_t wallOffset_ = 0;
    std::uint64_t starts_ = 0;
    std::vector<FakeTimer*> timers_;
    std::vector<std::unique_ptr<Timer>> actions_;
    std::unique_ptr<IdleWatch> idle_;
    std::uint64_t turns_ = 0;
    std::uint64_t deliveredAtTurn_ = 0;
    bool stalled_ = false;
};

}  // namespace ks::test
