// The clipboard commands against a real X clipboard, with xclip as the
// program on the other side.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTimer>

#include "CommandFixture.h"
#include "FakeSystemValues.h"
#include "XvfbSession.h"
#include "platform/qt/QtClipboard.h"
#include "text/TextCommands.h"

namespace ks::test {
namespace {

QStringList xclipArgs(const QString& type, const char* direction) {
    return {"-selection", "clipboard", "-t", type, direction};
}

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
// waits until this process sees it there.
void offerThroughXclip(const QString& type, const QByteArray& data) {
    runXclip(xclipArgs(type, "-i"), data);
    QElapsedTimer waited;
    waited.start();
    const QClipboard* clipboard = QGuiApplication::clipboard();
    while ((clipboard->ownsClipboard() || clipboard->mimeData()->formats().isEmpty()) &&
           waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

QByteArray png(QImage::Format format) {
    QImage image(37, 23, format);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgba(x * 7, y * 11, (x * y) % 256, 255 - x));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ClipboardX11Test : public CommandFixture {
protected:
    ClipboardX11Test() { expansion.setEnabled(true); }

    void run(CommandId id, const std::map<std::string, std::string>& values) {
        for (const auto& [name, text] : values) writeText(name.c_str(), text);
        commands.run(id, kCommand);
    }
    const Variable& variable(std::string_view name) { return variables.at(*variables.Find(name)); }

    FakeSystemValues system;
    VariableTable variables{messages};
    ExpansionEngine expansion{messages, system, variables};
    QtClipboard clipboard;
    TextCommands commands{*store, messages, expansion, variables, clipboard};
};

TEST_F(ClipboardX11Test, DataOfEveryKindComesBackAsItWent) {
    const struct {
        QString type;
        QByteArray data;
        std::uint32_t format;
    } cases[] = {
        {"UTF8_STRING", "héllo wörld\nzweite Zeile", kClipboardText},
        {"image/png", png(QImage::Format_RGB32), kClipboardBitmap},
        {"image/png", png(QImage::Format_ARGB32), kClipboardBitmap},
        {"text/html", "<b>bold</b>", kFirstRegisteredFormat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        offerThroughXclip(c.type, c.data);
        run(kCopyFromClipBoard, {{"BufName", "buf"}});
        EXPECT_EQ(variable("buf").format, c.format);
        run(kPasteToClipBoard, {});
        EXPECT_EQ(runXclip(xclipArgs(c.type, "-o")), c.data);
    }
    EXPECT_EQ(messages.texts(), std::vector<std::string>{});
}

TEST_F(ClipboardX11Test, PasteOfANewNameOffersItsDefaultText) {
    run(kPasteToClipBoard, {{"BufName", "never used"}, {"DefPasteString", "fällt zurück"}});
    EXPECT_EQ(runXclip(xclipArgs("UTF8_STRING", "-o")), "fällt zurück");
}

TEST_F(ClipboardX11Test, ParseSplitsTheClipboardText) {
    offerThroughXclip("UTF8_STRING", "ä::b::::c::");
    run(kParseClipBoard, {{"Delimiter", "::"}});
    for (const auto& [name, piece] : {std::pair{"0", "ä"}, {"1", "b"}, {"2", ""}, {"3", "c"}}) {
        EXPECT_EQ(variables.TextValue(name), piece) << name;
    }
    EXPECT_FALSE(variables.VariableExists("4"));
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
