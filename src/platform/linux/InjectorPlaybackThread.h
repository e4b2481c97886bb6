#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/PlaybackThread.h"
#include "platform/linux/ThreadPriority.h"

namespace ks {

// The player's thread over an injector of its own, whatever display that
// injector reaches: steps run on the thread and sleep to absolute deadlines.
// A backend gives the injector (opened on first use, on its own connection)
// and stops the thread in its destructor, before the injector goes.
class InjectorPlaybackThread : public PlaybackThread {
public:
    // Keys the thread synthesises are announced as the program's other keys
    // are: the announcer set on `announcing` is handed on at each start.
    explicit InjectorPlaybackThread(const InputInjector& announcing) : announcing_(announcing) {}

    bool available() override { return injector() != nullptr; }
    void start(Step step, std::function<void()> finished) override;
    void stop() override;

protected:
    // The thread's injector, opened on the first call; null when none can be had.
    virtual InputInjector* injector() = 0;
    // Runs on the calling thread before the steps start, so that what takes
    // round trips (reading the layout) does not take them from the first
    // event's due time.
    virtual void prepare() {}
    // The hooks below run on the thread. `begin` comes first and gives the
    // injector the steps go through (`injector` itself, or one wrapped
    // around it); `end` comes once the steps are over, finished or stopped.
    virtual InputInjector& begin(InputInjector& injector, ThreadPriority /*granted*/) {
        return injector;
    }
    // The thread is awake for what is due at `deadlineMillis` (monotonic).
    virtual void woke(std::int64_t /*deadlineMillis*/) {}
    // A moment before each deadline: what may take a round trip is done
    // here rather than in the time of the next event.
    virtual void nearDeadline() {}
    virtual void end() {}

private:
    void play(const Step& step, InputInjector& injector, std::uint64_t generation);
    bool sleepUntil(std::int64_t deadlineMillis);
    void finishOnCallerThread(std::uint64_t generation);

    const InputInjector& announcing_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_ = false;
    // Counts the starts, so that a finish posted by a playback stopped
    // since then is not taken for the finish of the current one.
    std::uint64_t generation_ = 0;
    std::function<void()> finished_;
    // Receives the finish on the thread that made this object.
    QObject context_;
};

}  // namespace ks
