#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "journal/JournalEvent.h"
#include "platform/Clock.h"

namespace ks {

// What the player does next, as answered to a get-next request.
struct PlaybackStep {
    enum class Kind {
        Finished,         // no event passes the filter: the playback is over
        PressWindowsKey,  // press or release a Windows key now, then skip
        Deliver,          // inject `event` once `wait` is 0, then skip
    };
    Kind kind = Kind::Finished;
    JournalEvent event{};   // Deliver: the event with `time` set to when it is due
    std::int32_t wait = 0;  // Deliver: milliseconds until it is due; never negative
    bool keyDown = false;   // PressWindowsKey: press (true) or release
};

// The timing rules of playback, as get-next and skip requests drive them.
//
// Times are unsigned 32-bit tick counts that wrap; the scheduled time T is
// anchored to the tick of the first request and then moves only by recorded
// gaps, never by when an event was actually served, so waiting late for one
// event does not delay the ones after it. Events the filter drops add their
// raw gaps; the gap before each event that passes is scaled by the speed.
class PlaybackSchedule {
public:
    PlaybackSchedule(std::vector<JournalEvent> events, std::uint32_t filter, std::int32_t speed,
                     Clock& clock);

    // May be asked again for the same event: T then stays where it is.
    PlaybackStep getNext();
    // Moves past the current event; false when no further event passes the filter.
    bool skip();

    std::size_t size() const { return events_.size(); }

private:
    enum class Found { Event, None };
    Found advance();
    std::uint32_t gapBefore(std::int64_t index) const;

    std::vector<JournalEvent> events_;
    std::uint32_t filter_;
    std::int32_t speed_;
    Clock& clock_;
    std::int64_t current_ = -1;
    std::int64_t lastServed_ = -1;
    std::uint32_t scheduled_ = 0;
    bool anchored_ = false;
};

// A recorded gap changed by the speed S: S > 0 lengthens it by S percent,
// S < 0 shortens it to 50/|S| of itself, truncated toward zero.
std::int64_t scaledGap(std::int32_t gap, std::int32_t speed);

// The stored speed text as a decimal number: leading blanks, an optional
// sign, the digits up to the first other character; 0 without digits.
std::int32_t parseSpeed(std::string_view text);

}  // namespace ks
