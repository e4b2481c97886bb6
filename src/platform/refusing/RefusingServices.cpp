#include "platform/refusing/RefusingServices.h"

#include <cstdio>

namespace ks {

void Refusal::report() const {
    if (!reported_.exchange(true)) std::fprintf(stderr, "keystrider: %s\n", message_.c_str());
}

// Never started while unavailable; a caller that starts it anyway is told
// it ended at once.
void RefusingPlaybackThread::start(Step, std::function<void()> finished) {
    refusal_.report();
    if (finished) finished();
}

}  // namespace ks
