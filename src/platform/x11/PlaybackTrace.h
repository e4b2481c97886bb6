#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/InputInjector.h"
#include "platform/linux/ThreadPriority.h"

typedef struct _XDisplay Display;

namespace ks::x11 {

// Where the time of each played event went, for telling a late wake-up from
// a slow step, a late flush or a server that took its time: per event, when
// it was due, when the thread woke for it, when its requests were handed to
// the X connection and when the connection was flushed (monotonic
// nanoseconds, the clock the X server stamps events with), the requests it
// sent, and how often the thread blocked (a reply, a lock) or was preempted
// on the way. Off unless KEYSTRIDER_PLAYBACK_TRACE names a file; each
// playback appends its lines once its last event is out, so the trace costs
// the timing nothing but the stamps.
class PlaybackTrace {
public:
    // Null when the environment asks for no trace.
    static std::unique_ptr<PlaybackTrace> fromEnvironment(Display* display);
    PlaybackTrace(std::string file, Display* display) : file_(std::move(file)), display_(display) {}

    void begin(ThreadPriority granted);
    // The thread is awake for what is due at `deadlineMillis` (monotonic).
    void woke(std::int64_t deadlineMillis);
    void handed();
    void flushed();
    // Appends the playback's lines to the file.
    void write() const;

private:
    struct Mark {
        std::int64_t nanos = 0;
        unsigned long requests = 0;
        long blocked = 0;
        long preempted = 0;
    };
    struct Event {
        std::int64_t deadline = 0;
        std::int64_t woke = 0;
        std::int64_t handed = 0;
        std::int64_t flushed = 0;
        unsigned long requests = 0;
        long blocked = 0;
        long preempted = 0;
    };
    Mark mark() const;

    std::string file_;
    Display* display_;
    std::string priority_;
    std::int64_t deadline_ = 0;
    std::int64_t woke_ = 0;
    std::int64_t handed_ = 0;
    // Where the next event's counts start: its wake-up, or the flush before it.
    Mark since_;
    std::vector<Event> events_;
};

// The injector a traced playback goes through: every call is stamped.
class TracingInjector final : public InputInjector {
public:
    TracingInjector(InputInjector& injector, PlaybackTrace& trace)
        : injector_(injector), trace_(trace) {}

    bool available() override { return injector_.available(); }
    void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) override;
    void key(std::uint8_t vk, std::uint8_t scan, bool down) override;
    void motion(std::int32_t x, std::int32_t y) override;
    void button(unsigned number, bool down) override;
    void flush() override;

private:
    InputInjector& injector_;
    PlaybackTrace& trace_;
};

}  // namespace ks::x11
