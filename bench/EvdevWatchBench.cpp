// Cost of one device event in the Wayland phrase watch: the kernel's
// input_event frames read from a device node (a FIFO standing in for
// /dev/input/event0), decoded, fed through the xkb state on the seat's keymap
// and, for a press, through the phrase watch with 10 and with 10,000
// phrases. A writer thread types English-like text into the FIFO, either as
// fast as the FIFO takes it (the reader finds many frames at each wake) or
// one key transition at a time, waiting until it is handled (each wakes the
// reader, as a person's typing does); the figure is the reading thread's CPU
// time over the events it handled.
//
// Usage: bench_evdev_watch [keys per run] (default 200000; a tenth of it one
// at a time); 5 runs per case, median printed.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "PhraseText.h"
#include "platform/evdev/EvdevWatches.h"

namespace {

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

input_event inputEvent(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}

// A press and a release of each key of English-like text, each in its frame.
std::vector<input_event> typedText(const ks::KeyLayout& layout, std::size_t keys) {
    std::mt19937 random(11);
    std::vector<input_event> events;
    while (events.size() < keys * 4) {
        for (const char ch : ks::bench::randomWord(random, 1, 10) + " ") {
            const std::uint16_t key = layout.keyOfChar.at(static_cast<unsigned char>(ch));
            const std::uint16_t code = layout.scanOfVk[key & 0xFF];
            for (const int value : {1, 0}) {
                events.push_back(inputEvent(EV_KEY, code, value));
                events.push_back(inputEvent(EV_SYN, SYN_REPORT, 0));
            }
        }
    }
    return events;
}

// Seconds of the reading thread's CPU per device event.
double perEvent(const std::string& folder, std::int64_t phraseCount,
                const std::vector<input_event>& events, bool oneAtATime) {
    ks::SharedSeatKeymap keymap;
    ks::evdev::AccessNotice access(nullptr);
    const ks::evdev::EvdevSetup setup{
        keymap, access, folder, [](const std::string& path) {
            const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
            return ks::evdev::OpenedDevice{fd, 0, {true, false, false, false}};
        }};
    ks::PhraseWatch phrases;
    std::mt19937 random(7);
    ks::bench::addRandomPhrases(phrases, random, phraseCount);
    ks::evdev::EvdevKeyWatch watch(setup);
    std::atomic<std::size_t> handled = 0;
    std::size_t fired = 0;
    const std::size_t expected = events.size() / 2;
    watch.start([&](const ks::WatchedKey& key, const ks::KeyLayout& layout) {
        fired += phrases.onKey(key, layout, 0) != nullptr;
        if (++handled == expected) QCoreApplication::quit();
    });
    std::thread writer([&] {
        const int fd = ::open((folder + "/event0").c_str(), O_WRONLY);
        const auto* bytes = reinterpret_cast<const char*>(events.data());
        const std::size_t size = events.size() * sizeof(input_event);
        const std::size_t frame = 2 * sizeof(input_event);
        for (std::size_t at = 0; at < size;) {
            const ssize_t wrote = ::write(
                fd, bytes + at, std::min<std::size_t>(size - at, oneAtATime ? frame : 4096));
            if (wrote <= 0) break;
            at += static_cast<std::size_t>(wrote);
            while (oneAtATime && handled.load() < at / frame) std::this_thread::yield();
        }
        ::close(fd);
    });
    const double before = threadCpuSeconds();
    QCoreApplication::exec();
    const double seconds = threadCpuSeconds() - before;
    writer.join();
    watch.stop();
    std::printf("  %zu events, %zu phrases fired, %.3f s CPU\n", handled.load(), fired, seconds);
    return seconds / static_cast<double>(handled.load());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::size_t keys = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200000;
    char pattern[] = "/tmp/bench_evdev_XXXXXX";
    const std::string folder = mkdtemp(pattern);
    mkfifo((folder + "/event0").c_str(), 0600);
    ks::SharedSeatKeymap keymap;
    ks::evdev::SeatKeyState state(keymap);
    state.follow();
    for (const bool oneAtATime : {false, true}) {
        const std::vector<input_event> events =
            typedText(state.layout(), oneAtATime ? keys / 10 : keys);
        for (const std::int64_t phraseCount : {10, 10000}) {
            std::vector<double> runs;
            for (int run = 0; run < 5; ++run) {
                runs.push_back(perEvent(folder, phraseCount, events, oneAtATime));
            }
            std::sort(runs.begin(), runs.end());
            std::printf(
                "%s, %lld phrases: %.0f ns per device event (median of 5; min %.0f, "
                "max %.0f)\n",
                oneAtATime ? "one at a time" : "in bursts", static_cast<long long>(phraseCount),
                runs[2] * 1e9, runs[0] * 1e9, runs[4] * 1e9);
        }
    }
    std::filesystem::remove_all(folder);
    return 0;
}
