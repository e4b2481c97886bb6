#include "platform/qt/QtClock.h"

#include <QTimer>

namespace ks {

namespace {

template <typename ClockType>
std::int64_t millisOf() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               ClockType::now().time_since_epoch())
        .count();
}

// A coarse timer may fire up to 5 % early or late; playback and DELAY need
// the millisecond.
class PreciseTimer final : public Timer {
public:
    explicit PreciseTimer(std::function<void()> onTimeout) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(onTimeout));
    }

    void start(std::chrono::milliseconds delay) override { timer_.start(delay); }
    void stop() override { timer_.stop(); }
    bool active() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

}  // namespace

std::int64_t QtClock::wallMillis() {
    return millisOf<std::chrono::system_clock>();
}

std::int64_t QtClock::monotonicMillis() {
    return millisOf<std::chrono::steady_clock>();
}

std::unique_ptr<Timer> QtClock::createTimer(std::function<void()> onTimeout) {
    return std::make_unique<PreciseTimer>(std::move(onTimeout));
}

}  // namespace ks
