// The typing window's Qt form, for a Wayland session: a full-screen window
// that prints "READY" once it has the keyboard focus, then what is typed
// into it as UTF-8 (Enter as a line feed), and "CLICK x y button" for each
// button press, at the place in the window (which starts at the output's
// corner, so on a one-output session it is the place on the output), and
// "WHEEL delta" for each turn of the wheel (120 a notch away from the user).
// Arguments: title, and "times" to print instead one line per key event and
// pointer move with the microsecond of the monotonic clock it arrived at:
// "KEY us down|up keycode" and "MOVE us x y".

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QWheelEvent>

#include <time.h>

#include <cstdarg>
#include <cstdio>

#include "TypingWindowQt.h"

namespace {

long long arrivalMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000LL + now.tv_nsec / 1000;
}

class QtTypingWindow final : public QRasterWindow {
public:
    explicit QtTypingWindow(bool times) : times_(times) {}

protected:
    // Ready once it has the focus and has shown itself full screen: the
    // compositor sends pointer events by the surface it was last shown with.
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::white);
        shown_ = visibility() == QWindow::FullScreen;
        announceReady();
    }
    void focusInEvent(QFocusEvent*) override {
        focused_ = true;
        announceReady();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (times_) return printKey(*event, "down");
        say("%s", event->text().replace(QChar('\r'), QChar('\n')).toUtf8().constData());
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (times_) printKey(*event, "up");
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        if (times_) say("MOVE %lld %d %d\n", arrivalMicroseconds(), at.x(), at.y());
    }
    void wheelEvent(QWheelEvent* event) override { say("WHEEL %d\n", event->angleDelta().y()); }
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        say("CLICK %d %d %d\n", at.x(), at.y(), static_cast<int>(event->button()));
    }

private:
    static void printKey(const QKeyEvent& event, const char* direction) {
        if (!event.isAutoRepeat())
            say("KEY %lld %s %u\n", arrivalMicroseconds(), direction, event.nativeScanCode());
    }
    void announceReady() {
        if (ready_ || !shown_ || !focused_) return;
        ready_ = true;
        say("READY\n");
    }
    [[gnu::format(printf, 1, 2)]] static void say(const char* format, ...) {
        va_list arguments;
        va_start(arguments, format);
        std::vprintf(format, arguments);
        va_end(arguments);
        std::fflush(stdout);
    }
    bool times_;
    bool shown_ = false;
    bool focused_ = false;
    bool ready_ = false;
};

}  // namespace

int runQtTypingWindow(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QtTypingWindow window(argc > 2 && QByteArray(argv[2]) == "times");
    window.setTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("typing window"));
    window.showFullScreen();
    return application.exec();
}
