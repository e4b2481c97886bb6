#include "platform/linux/InjectorPlaybackThread.h"

#include <time.h>

#include <cerrno>
#include <chrono>

#include "platform/linux/ThreadPriority.h"

namespace ks {
namespace {

// The last stretch of every wait is slept on clock_nanosleep, which nothing
// wakes early: no longer than this, so that a stop is never kept waiting.
constexpr std::chrono::milliseconds kFinalStretch(2);

}  // namespace

void InjectorPlaybackThread::start(Step step, std::function<void()> finished) {
    stop();
    InputInjector* used = injector();
    if (used == nullptr) return;
    used->setKeyAnnouncer(announcing_.keyAnnouncer());
    prepare();
    finished_ = std::move(finished);
    stopping_ = false;
    thread_ = std::thread([this, used, step = std::move(step), generation = ++generation_] {
        InputInjector& injector = begin(*used, raiseThreadPriority());
        play(step, injector, generation);
        end();
    });
}

void InjectorPlaybackThread::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    finished_ = nullptr;
}

void InjectorPlaybackThread::play(const Step& step, InputInjector& injector,
                                  std::uint64_t generation) {
    std::int64_t due = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    while (!stopping_) {
        woke(due);
        const std::optional<std::int64_t> next = step(injector);
        if (!next) {
            finishOnCallerThread(generation);
            return;
        }
        if (!sleepUntil(*next)) return;
        due = *next;
    }
}

// Deadlines are absolute, on the monotonic clock (steady_clock's), so the
// time a wake-up comes late is taken off the next wait rather than added.
bool InjectorPlaybackThread::sleepUntil(std::int64_t deadlineMillis) {
    using std::chrono::steady_clock;
    const steady_clock::time_point deadline{std::chrono::milliseconds(deadlineMillis)};
    {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, deadline - kFinalStretch, [this] { return stopping_.load(); }))
            return false;
    }
    nearDeadline();
    const auto since = deadline.time_since_epoch();
    timespec at{};
    at.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    at.tv_nsec = (since - std::chrono::seconds(at.tv_sec)).count();
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    return !stopping_;
}

void InjectorPlaybackThread::finishOnCallerThread(std::uint64_t generation) {
    QMetaObject::invokeMethod(
        &context_,
        [this, generation] {
            if (generation != generation_ || !finished_) return;
            if (thread_.joinable()) thread_.join();
            const std::function<void()> finished = std::move(finished_);
            finished_ = nullptr;
            finished();
        },
        Qt::QueuedConnection);
}

}  // namespace ks
