#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/InputInjector.h"

namespace ks {

// The thread the player times and injects its events on, with an injector
// of its own: whatever keeps the GUI thread busy delays no event. Between
// steps it sleeps to absolute deadlines on the monotonic clock (the one
// Clock::monotonicMillis reads), so a late wake-up shortens the next wait
// instead of adding to it.
class PlaybackThread {
public:
    PlaybackThread() = default;
    PlaybackThread(const PlaybackThread&) = delete;
    PlaybackThread& operator=(const PlaybackThread&) = delete;
    virtual ~PlaybackThread() = default;

    // Called on the thread: injects what is due through `injector` and gives
    // the monotonic millisecond it wants to be called again at (one already
    // past: at once); nothing once it is done.
    using Step = std::function<std::optional<std::int64_t>(InputInjector& injector)>;

    // Whether the thread's injector can synthesise input at all.
    virtual bool available() = 0;

    // Stops any steps under way, then calls `step` on the thread until it is
    // done, and `finished` on the calling thread's event loop after that.
    virtual void start(Step step, std::function<void()> finished) = 0;

    // Wakes the thread from its wait and returns once no step runs any more
    // (never longer than the one step under way takes); `finished` is not
    // called. Harmless when nothing runs.
    virtual void stop() = 0;
};

}  // namespace ks
