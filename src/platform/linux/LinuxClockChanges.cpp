#include "platform/linux/LinuxClockChanges.h"

#include <sys/timerfd.h>
#include <unistd.h>
#include <QDBusConnection>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace ks {

LinuxClockChanges::LinuxClockChanges() {
    timerFd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ < 0 || !armCancelOnSet()) {
        std::fprintf(stderr, "keystrider: clock changes will not be noticed: %s\n",
                     std::strerror(errno));
    } else {
        notifier_ = std::make_unique<QSocketNotifier>(timerFd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { onClockNotice(); });
    }
    // Without a system bus (a container, a test) resumes go unnoticed; the
    // daily re-arm still corrects the timers.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
}

LinuxClockChanges::~LinuxClockChanges() {
    notifier_.reset();
    if (timerFd_ >= 0) close(timerFd_);
}

// An absolute timer far in the future that the kernel cancels whenever the
// clock is set; it never expires of its own accord.
bool LinuxClockChanges::armCancelOnSet() {
    itimerspec never{};
    never.it_value.tv_sec = INT32_MAX;
    return timerfd_settime(timerFd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &never,
                           nullptr) == 0;
}

void LinuxClockChanges::onClockNotice() {
    std::uint64_t expirations = 0;
    const ssize_t got = read(timerFd_, &expirations, sizeof expirations);
    if (got >= 0 || errno != ECANCELED) return;
    armCancelOnSet();
    if (changed_) changed_();
}

void LinuxClockChanges::prepareForSleep(bool sleeping) {
    if (!sleeping && changed_) changed_();
}

}  // namespace ks
