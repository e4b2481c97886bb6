// Clipboard commands on a private Xvfb with xclip on the other side: COPY of
// a 10 MB text that xclip holds, PARSE of it into 100,000 lines, PASTE of it
// and the time xclip then takes to read it all. Median of five runs each.
//   bench_clipboard      (bench/clipboard_bench.sh runs it)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "EventRun.h"
#include "FakeSystemValues.h"
#include "TempDir.h"
#include "XvfbSession.h"
#include "expand/StoredCommand.h"
#include "platform/x11/X11Clipboard.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "text/TextCommands.h"

namespace ks::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;
constexpr int kLines = 100000;

// 100,000 lines of 99 characters and a line feed: 10,000,000 bytes.
QByteArray tenMegabytes() {
    QByteArray text;
    text.reserve(kLines * 100);
    for (int line = 0; line < kLines; ++line) {
        text.append(QByteArray(99, static_cast<char>('a' + line % 26))).append('\n');
    }
    return text;
}

// Runs xclip while answering the X server; its standard output.
QByteArray xclip(const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    process.start("xclip", QStringList{"-selection", "clipboard"} + args);
    process.write(input);
    process.closeWriteChannel();
    if (process.state() != QProcess::NotRunning) loop.exec();
    return process.readAllStandardOutput();
}

void offerThroughXclip(const QByteArray& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("ours until xclip takes it");
    xclip({"-i"}, text);
    if (!QTest::qWaitFor([&] { return !clipboard->ownsClipboard(); })) {
        std::fprintf(stderr, "bench_clipboard: xclip did not take the clipboard\n");
    }
}

double milliseconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int runBench() {
    test::TempDir dir;
    KeyTree tree(dir.file("store.db"));
    StderrMessages messages;
    SettingsStore store(tree, messages);
    store.EnsureRootKeys();
    const std::string command = "m\\Commands\\0";
    store.CreateMacroKey(command);
    store.WriteMacroString("buf", command, "BufName");
    store.WriteMacroString("\n", command, "Delimiter");
    test::FakeSystemValues system;
    VariableTable variables(messages);
    ExpansionEngine expansion(messages, system, variables);
    x11::X11Clipboard clipboard;
    test::EventRun runControl;
    TextCommands commands(messages, expansion, variables, clipboard, runControl);
    StoredCommand stored(store, expansion, command);

    const QByteArray text = tenMegabytes();
    std::vector<double> copy, parse, paste, peerRead;
    for (int run = 0; run < kRuns; ++run) {
        offerThroughXclip(text);
        copy.push_back(milliseconds([&] { commands.run(kCopyFromClipBoard, stored); }));
        parse.push_back(milliseconds([&] { commands.run(kParseClipBoard, stored); }));
        paste.push_back(milliseconds([&] { commands.run(kPasteToClipBoard, stored); }));
        QByteArray read;
        peerRead.push_back(milliseconds([&] { read = xclip({"-o"}); }));
        const std::string lastLine(99, static_cast<char>('a' + (kLines - 1) % 26));
        if (read != text || variables.textValue(std::to_string(kLines - 1)) != lastLine) {
            std::fprintf(stderr, "bench_clipboard: the text did not come through whole\n");
            return 1;
        }
    }
    std::printf("COPY of 10 MB from xclip:           %7.1f ms\n", median(copy));
    std::printf("PARSE into 100,000 pieces:          %7.1f ms\n", median(parse));
    std::printf("PASTE of 10 MB:                     %7.1f ms\n", median(paste));
    std::printf("xclip reading the pasted 10 MB:     %7.1f ms\n", median(peerRead));
    return 0;
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char** argv) {
    ks::test::XvfbSession session(false);
    qputenv("DISPLAY", session.display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    return ks::bench::runBench();
}
