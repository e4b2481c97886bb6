// Recorder throughput: N key events injected through XTest into a private
// Xvfb, as fast as a second connection can send them from a thread of its
// own, while the recorder captures them into its buffer as journal events.
// The rate is end to end: from the first injected event to the last one in
// the recorder's buffer. Every event must arrive, in order. Saving the
// buffer as a recording is timed too.
//   bench_capture [N]      (default 100000)

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <QTimer>

#include "QtTestLoop.h"
#include "TempDir.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "journal/Recorder.h"
#include "journal/RecordingStore.h"
#include "platform/x11/X11CancelWatch.h"
#include "platform/x11/X11InputCapture.h"
#include "platform/x11/X11Platform.h"

namespace ks::bench {
namespace {

using Clock = std::chrono::steady_clock;
// Waiting longer than this for the last event means events were lost.
constexpr int kLimitMs = 10000;

// Letter keys a..z: nothing on the bare server reacts to them.
std::vector<unsigned> letterKeycodes(const test::XTestDriver& driver) {
    std::vector<unsigned> codes;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const char name[] = {letter, '\0'};
        codes.push_back(driver.keycode(name));
    }
    return codes;
}

// Press and release of one key per pair, the keys taking turns.
unsigned keycodeOf(const std::vector<unsigned>& codes, std::size_t event) {
    return codes[(event / 2) % codes.size()];
}

void inject(const std::string& display, std::size_t count) {
    test::XTestDriver driver(display);
    const std::vector<unsigned> codes = letterKeycodes(driver);
    for (std::size_t i = 0; i < count; ++i) driver.key(keycodeOf(codes, i), i % 2 == 0);
    driver.sync();
}

// The recorder's dialog, reduced to running its posted steps.
class BenchHost final : public RecorderHost {
public:
    void post(std::function<void()> task) override { QTimer::singleShot(0, std::move(task)); }
    void raiseDialog() override {}
    void minimizeMainWindow(bool) override {}
    void closeDialog() override {}
};

// Where the recorded events differ from the injected ones; empty when they agree.
std::string firstDifference(const std::vector<JournalEvent>& events,
                            const std::vector<unsigned>& codes, std::size_t count) {
    for (std::size_t i = 0; i < std::min(count, events.size()); ++i) {
        const std::uint32_t message = i % 2 == 0 ? kWmKeyDown : kWmKeyUp;
        if (events[i].paramH + 8 != keycodeOf(codes, i) || events[i].message != message) {
            return "event " + std::to_string(i) + " differs (" + std::to_string(events.size()) +
                   " captured)";
        }
    }
    if (events.size() != count) {
        return "captured " + std::to_string(events.size()) + " of " + std::to_string(count);
    }
    return {};
}

int run(std::size_t count) {
    test::XvfbSession server(false);
    const std::vector<unsigned> codes = letterKeycodes(test::XTestDriver(server.display()));
    auto platform = x11::X11Platform::open(server.display());
    if (!platform) {
        std::fprintf(stderr, "%s\n", platform.error().c_str());
        return 1;
    }
    test::TempDir dir;
    StderrMessages messages;
    KeyTree tree(dir.file("store.db"));
    SettingsStore store(tree, messages);
    x11::X11InputCapture capture(server.display());
    x11::X11CancelWatch cancelWatch(server.display());
    BenchHost host;
    Recorder recorder(Recorder::Services{store, messages, (*platform)->windows(),
                                         (*platform)->keymap(), capture, cancelWatch},
                      host);
    // The desktop itself: capturing starts without a focus change.
    recorder.Record((*platform)->connection().root());
    const auto recorded = [&recorder] {
        return recorder.events() ? recorder.events()->size() : std::size_t{0};
    };
    if (!test::runEventsUntil([&recorder] { return recorder.capturing(); }, kLimitMs)) return 1;

    const auto begin = Clock::now();
    std::thread injector(inject, server.display(), count);
    test::runEventsUntil([&] { return recorded() >= count || !recorder.capturing(); }, kLimitMs);
    const auto end = Clock::now();
    injector.join();

    const double seconds = std::chrono::duration<double>(end - begin).count();
    const std::string difference =
        recorder.events() ? firstDifference(*recorder.events(), codes, count) : "capture lost";
    std::printf("%zu key events injected through XTest, recorded through RECORD\n", count);
    std::printf("end to end: %.3f s, %.0f events/s\n", seconds,
                static_cast<double>(recorded()) / seconds);
    std::printf("all recorded in order: %s\n", difference.empty() ? "yes" : difference.c_str());

    const auto saveBegin = Clock::now();
    const bool saved = recorder.Save("Bench", {});
    const double saveMs =
        std::chrono::duration<double, std::milli>(Clock::now() - saveBegin).count();
    std::printf("saved as a recording of %zu pieces: %.1f ms\n", (count * 20 + 15999) / 16000,
                saveMs);
    return difference.empty() && saved ? 0 : 1;
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    return ks::bench::run(count);
}
