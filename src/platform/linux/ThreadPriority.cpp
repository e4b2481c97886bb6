#include "platform/linux/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace ks {
namespace {

// Low among real-time priorities: above every ordinary thread, below the
// audio and interrupt threads that run real-time by design.
constexpr int kRealTimePriority = 10;
constexpr int kBestNice = -10;

bool becomeRealTime() {
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    return pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
}

// RLIMIT_NICE allows a nice value down to 20 - limit.
bool lowerNice() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0) return false;
    const int allowed = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
    const int nice = std::max(kBestNice, allowed);
    const id_t thread = static_cast<id_t>(gettid());
    return nice < getpriority(PRIO_PROCESS, thread) && setpriority(PRIO_PROCESS, thread, nice) == 0;
}

}  // namespace

ThreadPriority raiseThreadPriority() {
    // The default slack of 50 µs lets the kernel wake the thread that much late.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (becomeRealTime()) return ThreadPriority::RealTime;
    if (lowerNice()) return ThreadPriority::Nice;
    return ThreadPriority::Unchanged;
}

}  // namespace ks
