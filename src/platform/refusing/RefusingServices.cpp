#include "platform/refusing/RefusingServices.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace ks {

void Refusal::report() const {
    static std::mutex guard;
    static std::set<std::string> reported;
    const std::lock_guard lock(guard);
    if (reported.insert(message_).second)
        std::fprintf(stderr, "keystrider: %s\n", message_.c_str());
}

// Never started while unavailable; a caller that starts it anyway is told
// it ended at once.
void RefusingPlaybackThread::start(Step, std::function<void()> finished) {
    refusal_.report();
    if (finished) finished();
}

}  // namespace ks
