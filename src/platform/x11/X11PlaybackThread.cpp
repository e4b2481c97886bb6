#include "platform/x11/X11PlaybackThread.h"

#include <time.h>

#include <cerrno>
#include <chrono>

#include "platform/linux/ThreadPriority.h"

namespace ks::x11 {
namespace {

// The last stretch of every wait is slept on clock_nanosleep, which nothing
// wakes early: no longer than this, so that a stop is never kept waiting.
constexpr std::chrono::milliseconds kFinalStretch(2);

}  // namespace

X11PlaybackThread::~X11PlaybackThread() {
    stop();
}

bool X11PlaybackThread::available() {
    if (injection_) return true;
    auto connection = XConnection::open(display_);
    if (!connection) return false;
    auto injection = std::make_unique<Injection>();
    injection->connection = std::move(*connection);
    injection->keymap = std::make_unique<X11Keymap>(*injection->connection);
    // Read now, so that the first key event does not spend its due time on
    // the keymap's round trips.
    injection->keymap->layout();
    injection->injector =
        std::make_unique<X11InputInjector>(*injection->connection, *injection->keymap);
    injection_ = std::move(injection);
    return true;
}

void X11PlaybackThread::start(Step step, std::function<void()> finished) {
    stop();
    if (!available()) return;
    injection_->injector->setKeyAnnouncer(announcing_.keyAnnouncer());
    finished_ = std::move(finished);
    stopping_ = false;
    thread_ = std::thread(
        [this, step = std::move(step), generation = ++generation_] { run(step, generation); });
}

void X11PlaybackThread::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    finished_ = nullptr;
}

void X11PlaybackThread::run(const Step& step, std::uint64_t generation) {
    raiseThreadPriority();
    while (!stopping_) {
        const std::optional<std::int64_t> due = step(*injection_->injector);
        if (!due) {
            finishOnCallerThread(generation);
            return;
        }
        if (!sleepUntil(*due)) return;
    }
}

// Deadlines are absolute, on the monotonic clock (steady_clock's), so the
// time a wake-up comes late is taken off the next wait rather than added.
bool X11PlaybackThread::sleepUntil(std::int64_t deadlineMillis) {
    using std::chrono::steady_clock;
    const steady_clock::time_point deadline{std::chrono::milliseconds(deadlineMillis)};
    {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, deadline - kFinalStretch, [this] { return stopping_.load(); }))
            return false;
    }
    const auto since = deadline.time_since_epoch();
    timespec at{};
    at.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    at.tv_nsec = (since - std::chrono::seconds(at.tv_sec)).count();
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    return !stopping_;
}

void X11PlaybackThread::finishOnCallerThread(std::uint64_t generation) {
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

}  // namespace ks::x11
