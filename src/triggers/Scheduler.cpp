#include "triggers/Scheduler.h"

#include <algorithm>

#include "core/Messages.h"
#include "core/Utf8.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr std::int64_t kSecond = 1000;

std::int64_t ceilSeconds(std::int64_t millis) {
    return millis / kSecond + (millis % kSecond > 0 ? 1 : 0);
}

// The wall time of the next 23:59:59 after `nowMillis`, local time.
std::int64_t nextEndOfDay(std::int64_t nowMillis) {
    const std::time_t now = static_cast<std::time_t>(nowMillis / kSecond);
    std::tm today{};
    localtime_r(&now, &today);
    for (int day = 0;; ++day) {
        std::tm end = today;
        end.tm_mday += day;
        end.tm_hour = 23;
        end.tm_min = 59;
        end.tm_sec = 59;
        end.tm_isdst = -1;
        const std::time_t made = std::mktime(&end);
        if (made != static_cast<std::time_t>(-1) && made * kSecond > nowMillis) {
            return made * kSecond;
        }
        if (day == 1) return nowMillis + 86400 * kSecond;
    }
}

bool validPeriod(const Schedule& schedule) {
    return schedule.period < kPeriodCount;
}

void showInvalidPeriod(Messages& messages) {
    messages.show("Invalid time period.", "Keystrider - Error", MsgIcon::Stop);
}

}  // namespace

Scheduler::Scheduler(SettingsStore& store, Clock& clock, StartMacro startMacro)
    : store_(store), clock_(clock), startMacro_(std::move(startMacro)) {}

Scheduler::~Scheduler() = default;

// The values that cannot be read are reported in one box per macro, as a
// schedule that came without them would otherwise show a box for each.
void Scheduler::load(const std::string& macro) {
    GatheredMessages unreadable;
    SettingsStore reader(store_.tree(), unreadable);
    loadSchedules(reader, macro);
    if (const auto box = unreadable.asOneBox()) store_.messages().show(*box);
}

void Scheduler::loadSchedules(SettingsStore& reader, const std::string& macro) {
    const MacroKey key(macro);
    for (std::int32_t n = 0;; ++n) {
        const auto period = store_.GetDword(key.schedule(n).direct(), "Period");
        if (!period) return;
        Entry entry{Schedule{*period, {}}, macro};
        for (std::size_t f = 0; f < kScheduleFieldCount; ++f) {
            std::string& text = entry.schedule.fields[f];
            if (!reader.ReadMacroString(key.scheduleSubpath(n), kScheduleValueNames[f], text)) {
                text.clear();
            }
        }
        arm(entry, clock_.wallMillis());
        entries_.push_back(std::move(entry));
        if (on_ && !validPeriod(entries_.back().schedule)) showInvalidPeriod(store_.messages());
    }
}

void Scheduler::remove(const std::string& macro) {
    const std::string folded = utf8::upper(macro);
    std::erase_if(entries_, [&](const Entry& entry) {
        if (utf8::upper(entry.macro) != folded) return false;
        killTimer(entry.timerId);
        return true;
    });
}

std::string Scheduler::displayText(const std::string& macro) const {
    const std::string folded = utf8::upper(macro);
    const bool any = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return utf8::upper(entry.macro) == folded;
    });
    return any ? "Yes" : "No";
}

// An occurrence that came due while its timer waited (the machine slept, or
// the clock was set past it) fires once, late, instead of being skipped; the
// others are armed from now.
void Scheduler::reArmAll() {
    if (!on_) return;
    const std::int64_t now = clock_.wallMillis();
    std::vector<std::int64_t> from;
    for (const Entry& entry : entries_) {
        from.push_back(entry.timerId != 0 ? std::min(now, entry.dueMillis) : now);
    }
    killAll();
    int invalid = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        arm(entries_[i], from[i]);
        if (!validPeriod(entries_[i].schedule)) ++invalid;
    }
    armEndOfDay();
    // Boxes last: their nested event loops may change the table.
    while (invalid-- > 0) showInvalidPeriod(store_.messages());
}

void Scheduler::start() {
    on_ = true;
    reArmAll();
}

void Scheduler::stop() {
    on_ = false;
    killAll();
}

void Scheduler::killAll() {
    counter_ = 2;
    killTimer(kEndOfDayTimer);
    endOfDayDue_.reset();
    for (Entry& entry : entries_) {
        killTimer(entry.timerId);
        entry.timerId = 0;
    }
}

std::optional<std::int64_t> Scheduler::endOfDayDue() const {
    return endOfDayDue_;
}

std::int32_t Scheduler::arm(Entry& entry, std::int64_t fromMillis) {
    entry.timerId = 0;
    if (!on_ || !validPeriod(entry.schedule)) return 0;
    const auto next =
        nextOccurrence(entry.schedule, static_cast<std::time_t>(ceilSeconds(fromMillis)));
    if (!next) return 0;
    const std::int64_t due = static_cast<std::int64_t>(*next) * kSecond;
    if (due - clock_.wallMillis() > kArmLimitSeconds * kSecond) return 0;
    entry.timerId = counter_++;
    entry.dueMillis = due;
    startTimer(entry.timerId, due);
    return entry.timerId;
}

void Scheduler::armEndOfDay() {
    if (!on_) return;
    endOfDayDue_ = nextEndOfDay(clock_.wallMillis());
    startTimer(kEndOfDayTimer, *endOfDayDue_);
}

// Timers are kept and reused by identifier, never destroyed while the
// scheduler lives, as one may be killed from inside its own time-out.
void Scheduler::startTimer(std::int32_t id, std::int64_t dueMillis) {
    std::unique_ptr<Timer>& timer = timers_[id];
    if (!timer) timer = clock_.createTimer([this, id] { onTimer(id); });
    timer->start(
        std::chrono::milliseconds(std::max<std::int64_t>(0, dueMillis - clock_.wallMillis())));
}

void Scheduler::killTimer(std::int32_t id) {
    const auto found = timers_.find(id);
    if (found != timers_.end()) found->second->stop();
}

// A timer counts elapsed time; when the wall clock reads earlier than the
// due time (it was set back unannounced, or runs slow), the timer waits on.
void Scheduler::onTimer(std::int32_t id) {
    const std::int64_t now = clock_.wallMillis();
    if (id == kEndOfDayTimer) {
        if (endOfDayDue_ && now < *endOfDayDue_) return startTimer(id, *endOfDayDue_);
        return reArmAll();
    }
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [id](const Entry& e) { return e.timerId == id; });
    if (entry == entries_.end()) return killTimer(id);
    if (now < entry->dueMillis) return startTimer(id, entry->dueMillis);
    fire(*entry);
}

// The next occurrence is armed before the macro is handed over, from the
// second after this one, so the same second never fires twice and the GUI
// never waits for it to pass.
void Scheduler::fire(Entry& entry) {
    const std::string macro = entry.macro;
    killTimer(entry.timerId);
    arm(entry, std::max(clock_.wallMillis(), entry.dueMillis + kSecond));
    if (!startMacro_(macro)) {
        store_.messages().show("Error posting message to main thread.", "Error", MsgIcon::Stop);
    }
}

}  // namespace ks
