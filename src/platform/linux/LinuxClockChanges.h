#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

#include "platform/ClockChanges.h"

namespace ks {

// The kernel's notice of a set clock (a CLOCK_REALTIME timerfd armed with
// TFD_TIMER_CANCEL_ON_SET) and logind's PrepareForSleep signal.
class LinuxClockChanges final : public QObject, public ClockChanges {
    Q_OBJECT

public:
    LinuxClockChanges();
    ~LinuxClockChanges() override;

    void setHandler(std::function<void()> changed) override { changed_ = std::move(changed); }

private slots:
    void prepareForSleep(bool sleeping);

private:
    bool armCancelOnSet();
    void onClockNotice();

    int timerFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> changed_;
};

}  // namespace ks
