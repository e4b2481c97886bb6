#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace ks::test {

// The process's one QCoreApplication, made on first use, for tests whose
// code under test runs on Qt timers and socket notifiers.
inline QCoreApplication& testApplication() {
    static int argc = 1;
    static char name[] = "keystrider_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

// Runs the event loop until `done` holds or `limitMs` passed, sleeping
// between events rather than spinning.
inline bool runEventsUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer look;  // wakes the loop to look at `done` again
    look.start(2);
    while (!done() && elapsed.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

}  // namespace ks::test
