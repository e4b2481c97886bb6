// The typing window's Qt form, for a Wayland session: a full-screen window
// that prints "READY" once it has the keyboard focus, then what is typed
// into it as UTF-8 (Enter as a line feed), and "CLICK x y button" for each
// button press, at the place in the window (which starts at the output's
// corner, so on a one-output session it is the place on the output).

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>

#include "TypingWindowQt.h"

namespace {

class QtTypingWindow final : public QRasterWindow {
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
        QString text = event->text();
        text.replace(QChar('\r'), QChar('\n'));
        print(text.toUtf8());
    }
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        print(QStringLiteral("CLICK %1 %2 %3\n")
                  .arg(at.x())
                  .arg(at.y())
                  .arg(static_cast<int>(event->button()))
                  .toUtf8());
    }

private:
    void announceReady() {
        if (ready_ || !shown_ || !focused_) return;
        ready_ = true;
        print("READY\n");
    }
    static void print(const QByteArray& bytes) {
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
        std::fflush(stdout);
    }
    bool shown_ = false;
    bool focused_ = false;
    bool ready_ = false;
};

}  // namespace

int runQtTypingWindow(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QtTypingWindow window;
    window.setTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("typing window"));
    window.showFullScreen();
    return application.exec();
}
