#include "platform/x11/PlaybackTrace.h"

#include <X11/Xlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace ks::x11 {
namespace {

std::int64_t monotonicNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

std::string describe(ThreadPriority granted) {
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    switch (granted) {
        case ThreadPriority::RealTime: return "real-time (round-robin)";
        case ThreadPriority::Nice: return "nice " + std::to_string(nice);
        case ThreadPriority::Unchanged: break;
    }
    return "not raised (nice " + std::to_string(nice) + ")";
}

}  // namespace

std::unique_ptr<PlaybackTrace> PlaybackTrace::fromEnvironment(Display* display) {
    const char* file = std::getenv("KEYSTRIDER_PLAYBACK_TRACE");
    if (file == nullptr || *file == '\0') return nullptr;
    return std::make_unique<PlaybackTrace>(file, display);
}

void PlaybackTrace::begin(ThreadPriority granted) {
    priority_ = describe(granted);
    // Grown ahead, so that the stamps of a recording of a few thousand
    // events wait for no allocation.
    events_.reserve(4096);
}

PlaybackTrace::Mark PlaybackTrace::mark() const {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {monotonicNanos(), NextRequest(display_), usage.ru_nvcsw, usage.ru_nivcsw};
}

void PlaybackTrace::woke(std::int64_t deadlineMillis) {
    since_ = mark();
    deadline_ = deadlineMillis * 1'000'000;
    woke_ = since_.nanos;
}

void PlaybackTrace::handed() {
    handed_ = monotonicNanos();
}

void PlaybackTrace::flushed() {
    const Mark now = mark();
    events_.push_back({deadline_, woke_, handed_, now.nanos, now.requests - since_.requests,
                       now.blocked - since_.blocked, now.preempted - since_.preempted});
    since_ = now;
}

void PlaybackTrace::write() const {
    FILE* out = std::fopen(file_.c_str(), "a");
    if (out == nullptr) {
        std::perror(file_.c_str());
        return;
    }
    std::fprintf(out,
                 "# playback, thread priority %s; per event: deadline woke handed flushed "
                 "(monotonic ns) requests blocked preempted\n",
                 priority_.c_str());
    for (const Event& e : events_) {
        std::fprintf(out, "%lld %lld %lld %lld %lu %ld %ld\n", static_cast<long long>(e.deadline),
                     static_cast<long long>(e.woke), static_cast<long long>(e.handed),
                     static_cast<long long>(e.flushed), e.requests, e.blocked, e.preempted);
    }
    std::fclose(out);
}

void TracingInjector::keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    injector_.keyEvent(vk, scan, flags);
    trace_.handed();
    trace_.flushed();
}

void TracingInjector::mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) {
    injector_.mouseEvent(flags, x, y);
    trace_.handed();
    trace_.flushed();
}

void TracingInjector::key(std::uint8_t vk, std::uint8_t scan, bool down) {
    injector_.key(vk, scan, down);
    trace_.handed();
}

void TracingInjector::motion(std::int32_t x, std::int32_t y) {
    injector_.motion(x, y);
    trace_.handed();
}

void TracingInjector::button(unsigned number, bool down) {
    injector_.button(number, down);
    trace_.handed();
}

void TracingInjector::flush() {
    injector_.flush();
    trace_.flushed();
}

}  // namespace ks::x11
