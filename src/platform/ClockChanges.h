#pragma once

#include <functional>

namespace ks {

// Tells when the wall clock stops agreeing with the time timers count: the
// clock was set (by hand, by a time service, by the program itself) or the
// machine resumed from suspend, during which timers do not count.
class ClockChanges {
public:
    ClockChanges() = default;
    ClockChanges(const ClockChanges&) = delete;
    ClockChanges& operator=(const ClockChanges&) = delete;
    virtual ~ClockChanges() = default;

    // `changed` is called on the GUI thread after each such event; it
    // replaces an earlier handler.
    virtual void setHandler(std::function<void()> changed) = 0;
};

}  // namespace ks
