#pragma once

namespace ks {

enum class ThreadPriority { RealTime, Nice, Unchanged };

// Raises the calling thread's scheduling priority as far as the user may
// without asking anyone: round-robin real-time where RLIMIT_RTPRIO (or the
// right to) allows it, else the lowest nice value RLIMIT_NICE allows; and
// asks the kernel not to defer the thread's timers to gather wake-ups.
// Says which priority it got.
ThreadPriority raiseThreadPriority();

}  // namespace ks
