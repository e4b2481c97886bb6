// Input capture throughput: N key events injected through XTest into a
// private Xvfb, as fast as a second connection can send them from a thread
// of its own, while the capture hands them to a handler that keeps them.
// The rate is end to end: from the first injected event to the last one
// handed over on the GUI thread. Every event must arrive, in order.
//   bench_capture [N]      (default 100000)

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "QtTestLoop.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "platform/x11/X11InputCapture.h"

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

// Where the captured events differ from the injected ones; empty when they agree.
std::string firstDifference(const std::vector<CapturedInput>& events,
                            const std::vector<unsigned>& codes, std::size_t count) {
    for (std::size_t i = 0; i < std::min(count, events.size()); ++i) {
        const auto kind =
            i % 2 == 0 ? CapturedInput::Kind::KeyPress : CapturedInput::Kind::KeyRelease;
        if (events[i].detail != keycodeOf(codes, i) || events[i].kind != kind) {
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
    std::vector<CapturedInput> events;
    events.reserve(count);
    std::size_t blocks = 0;
    bool lost = false;
    X11InputCapture capture(server.display());
    const bool started = capture.start(
        [&](const CapturedInput* block, std::size_t size) {
            events.insert(events.end(), block, block + size);
            ++blocks;
        },
        [&] { lost = true; });
    if (!started) {
        std::fprintf(stderr, "no RECORD on %s\n", server.display().c_str());
        return 1;
    }

    const auto begin = Clock::now();
    std::thread injector(inject, server.display(), count);
    test::runEventsUntil([&] { return events.size() >= count || lost; }, kLimitMs);
    const auto end = Clock::now();
    injector.join();
    capture.stop();

    const double seconds = std::chrono::duration<double>(end - begin).count();
    const std::string difference = firstDifference(events, codes, count);
    std::printf("%zu key events injected through XTest, captured through RECORD in %zu blocks\n",
                count, blocks);
    std::printf("end to end: %.3f s, %.0f events/s\n", seconds,
                static_cast<double>(events.size()) / seconds);
    std::printf("all captured in order: %s\n", difference.empty() ? "yes" : difference.c_str());
    return difference.empty() && !lost ? 0 : 1;
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    return ks::bench::run(count);
}
