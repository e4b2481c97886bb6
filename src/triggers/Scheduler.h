#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "triggers/ScheduleRules.h"

namespace ks {

class Messages;
class SettingsStore;

// The macros' schedules: each armed as a one-shot timer for its next
// occurrence, the macro handed to the runner when it fires, then armed
// again. A timer at 23:59:59 every day re-arms all, as does a change of the
// wall clock and a resume from suspend. GUI thread only.
class Scheduler {
public:
    // Hands a macro name to the runner as a start request; false when the
    // request could not be posted.
    using StartMacro = std::function<bool(const std::string& macro)>;

    struct Entry {
        Schedule schedule;
        std::string macro;
        std::int32_t timerId = 0;  // 0: no timer armed
        // The wall time, in milliseconds, at which the armed timer is due.
        std::int64_t dueMillis = 0;
    };

    static constexpr std::int32_t kEndOfDayTimer = 1;
    static constexpr std::int64_t kArmLimitSeconds = 100000;

    Scheduler(SettingsStore& store, Clock& clock, StartMacro startMacro);
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // Switches scheduling on and arms every schedule and the end-of-day
    // timer; until then loading a schedule arms nothing.
    void start();
    // Switches scheduling off and kills every timer.
    void stop();

    // Reads the macro's schedules from the store, arms each and adds it.
    void load(const std::string& macro);
    // Kills the timers of the macro's schedules and removes them.
    void remove(const std::string& macro);
    // "Yes" when the macro has a schedule, else "No".
    std::string displayText(const std::string& macro) const;

    // With the switch on: every schedule armed afresh and the end-of-day
    // timer armed. With it off: nothing.
    void reArmAll();
    // The wall clock was set, or the machine resumed from suspend: a timer
    // counts elapsed time, which no longer matches the wall clock.
    void clockChanged() { reArmAll(); }

    const std::vector<Entry>& entries() const { return entries_; }
    // When the end-of-day timer is due, wall milliseconds; nothing when unarmed.
    std::optional<std::int64_t> endOfDayDue() const;

private:
    void loadSchedules(SettingsStore& reader, const std::string& macro);
    void killAll();
    // Arms `entry` for its first occurrence at or after `fromMillis`; the
    // timer identifier, or 0.
    std::int32_t arm(Entry& entry, std::int64_t fromMillis);
    void armEndOfDay();
    void startTimer(std::int32_t id, std::int64_t dueMillis);
    void killTimer(std::int32_t id);
    void onTimer(std::int32_t id);
    void fire(Entry& entry);

    SettingsStore& store_;
    Clock& clock_;
    StartMacro startMacro_;
    std::vector<Entry> entries_;
    std::map<std::int32_t, std::unique_ptr<Timer>> timers_;
    std::optional<std::int64_t> endOfDayDue_;
    std::int32_t counter_ = 2;
    bool on_ = false;
};

}  // namespace ks
