// The clipboard commands against a real X clipboard, with xclip as the
// program on the other side.
#include <gtest/gtest.h>

#include <signal.h>

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "XvfbSession.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Platform.h"
#include "text/TextFixture.h"

namespace ks::test {
namespace {

// Runs xclip while this process keeps answering the X server, as it must when
// xclip asks it for the clipboard.
QByteArray runXclip(const QStringList& args, const QByteArray& input = {}) {
    QProcess xclip;
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    xclip.start("xclip", args);
    xclip.write(input);
    xclip.closeWriteChannel();
    if (xclip.state() != QProcess::NotRunning) loop.exec();
    EXPECT_EQ(xclip.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
    return xclip.readAllStandardOutput();
}

// Puts `data` on the clipboard through xclip (which stays to serve it) and
// waits until this process has seen xclip take the clipboard from it.
void offerThroughXclip(const QString& type, const QByteArray& data) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("ours until xclip takes it");
    runXclip({"-selection", "clipboard", "-t", type, "-i"}, data);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !clipboard->ownsClipboard(); }));
}

// An image whose first row differs, in one pixel, from the rest in every channel.
QByteArray png(QImage::Format format) {
    QImage image(37, 23, format);
    image.fill(qRgba(10, 120, 230, 200));
    image.setPixel(1, 0, qRgba(250, 5, 60, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

using ClipboardX11Test = TextFixture<x11::X11Clipboard>;

TEST_F(ClipboardX11Test, DataOfEveryKindComesBackAsItWentOrAsItDefaults) {
    const struct {
        QString type;
        QByteArray data;
        std::uint32_t format;
    } cases[] = {
        {"UTF8_STRING", "héllo wörld\nzweite Zeile", kClipboardText},
        {"UTF8_STRING", "A\377B\351C", kClipboardText},  // no UTF-8: kept as bytes
        {"image/png", png(QImage::Format_RGB32), kClipboardBitmap},
        {"image/png", png(QImage::Format_ARGB32), kClipboardBitmap},
        {"text/html", "<b>bold</b>", kFirstRegisteredFormat},
    };
    for (const auto& c : cases) {
        offerThroughXclip(c.type, c.data);
        run(kCopyFromClipBoard, {{"BufName", "buf"}});
        EXPECT_EQ(variables.at(*variables.find("buf")).format, c.format) << c.type.toStdString();
        run(kPasteToClipBoard, {});
        EXPECT_EQ(runXclip({"-selection", "clipboard", "-t", c.type, "-o"}), c.data)
            << c.type.toStdString();
    }
    EXPECT_EQ(messages.texts(), std::vector<std::string>{});
}

// Qt's hidden selection owner carries no _NET_WM_PID; the window commands
// must leave it alone all the same.
TEST_F(ClipboardX11Test, QtsSelectionOwnerCountsAsTheProgramsOwnWindow) {
    QGuiApplication::clipboard()->setText("makes Qt's selection owner");
    auto platform = x11::X11Platform::open(qgetenv("DISPLAY").toStdString());
    ASSERT_TRUE(platform);
    WindowControl& windows = (*platform)->windows();
    std::vector<bool> own;
    for (const TopLevelWindow& window : windows.allTopLevelWindows()) {
        if (window.title.starts_with("Qt Selection Owner"))
            own.push_back(windows.isOwnWindow(window.id));
    }
    EXPECT_EQ(own, std::vector<bool>{true});
}

// An owner that never answers (xclip stopped): the wait ends with a message
// after the time-out, leaving the variable as it was, or at once when the
// run is stopped.
TEST_F(ClipboardX11Test, AnOwnerThatDoesNotAnswerTimesOutOrIsLeftAtAStop) {
    QClipboard* ours = QGuiApplication::clipboard();
    ours->setText("ours until xclip takes it");
    QProcess owner;
    owner.start("xclip", {"-selection", "clipboard", "-quiet", "-i"});
    owner.write("held");
    owner.closeWriteChannel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ours->ownsClipboard(); }));
    kill(static_cast<pid_t>(owner.processId()), SIGSTOP);
    variables.SetVariable("buf", "before");

    QElapsedTimer took;
    took.start();
    run(kCopyFromClipBoard, {{"BufName", "buf"}});
    EXPECT_GE(took.elapsed(), kClipboardQuietLimit.count());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Error retrieving data from Clip Board!"});
    EXPECT_EQ(variables.textValue("buf"), "before");

    QTimer::singleShot(300, [&] { runControl.stopped = true; });
    took.restart();
    run(kParseClipBoard, {{"Delimiter", ","}});
    EXPECT_LT(took.elapsed(), 1000);
    EXPECT_EQ(messages.texts().size(), 1u);
    kill(static_cast<pid_t>(owner.processId()), SIGKILL);
    owner.waitForFinished();
}

}  // namespace
}  // namespace ks::test

int main(int argc, char** argv) {
    ks::test::XvfbSession session(false);
    qputenv("DISPLAY", session.display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
