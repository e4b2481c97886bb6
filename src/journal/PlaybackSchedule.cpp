#include "journal/PlaybackSchedule.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

namespace ks {

PlaybackSchedule::PlaybackSchedule(std::vector<JournalEvent> events, std::uint32_t filter,
                                   std::int32_t speed, Clock& clock)
    : events_(std::move(events)), filter_(filter), speed_(speed), clock_(clock) {}

std::uint32_t PlaybackSchedule::gapBefore(std::int64_t index) const {
    return events_[index].time - events_[index - 1].time;
}

PlaybackSchedule::Found PlaybackSchedule::advance() {
    const auto count = static_cast<std::int64_t>(events_.size());
    if (current_ >= count || ++current_ == count) return Found::None;
    while (!passesFilter(filter_, events_[current_].message)) {
        if (current_ > 0) scheduled_ += gapBefore(current_);
        if (++current_ == count) return Found::None;
    }
    return Found::Event;
}

PlaybackStep PlaybackSchedule::getNext() {
    if (!anchored_) {
        // T holds the raw gaps of the events skipped before the first one
        // that passes, so that one is due that much after the first request.
        if (advance() == Found::None) return {};
        scheduled_ += clock_.ticks();
        anchored_ = true;
    } else if (current_ >= static_cast<std::int64_t>(events_.size())) {
        return {};
    } else if (current_ != lastServed_) {
        const auto gap = static_cast<std::int32_t>(gapBefore(current_));
        scheduled_ += static_cast<std::uint32_t>(scaledGap(gap, speed_));
    }
    const JournalEvent& event = events_[current_];
    const auto wait = static_cast<std::int32_t>(scheduled_ - clock_.ticks());
    lastServed_ = current_;
    const std::uint8_t key = virtualKeyOf(event);
    if (wait <= 0 && isKeyboardMessage(event.message) &&
        (key == kVkLeftWindows || key == kVkRightWindows)) {
        return {PlaybackStep::Kind::PressWindowsKey, event, 0, event.message == kWmKeyDown};
    }
    PlaybackStep step{PlaybackStep::Kind::Deliver, event, wait, false};
    step.event.time = scheduled_;
    if (wait < 0) {
        step.wait = 0;
        step.event.time = clock_.ticks();
    }
    return step;
}

bool PlaybackSchedule::skip() {
    return advance() == Found::Event;
}

std::int64_t scaledGap(std::int32_t gap, std::int32_t speed) {
    // The percentage factor is a single-precision 0.01 (0.0099999998), which
    // is why a 1000 ms gap at +100 % becomes 1999 ms and not 2000 ms.
    const double factor = static_cast<double>(0.01f);
    const double d = gap;
    const double s = speed;
    if (speed > 0) return gap + static_cast<std::int64_t>(s * factor * d);
    if (speed < 0) return -static_cast<std::int64_t>(d * (1.0 / (2.0 * s * factor)));
    return gap;
}

std::int32_t parseSpeed(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
        value = std::min(kLimit, value * 10 + (text[pos] - '0'));
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
}

}  // namespace ks
