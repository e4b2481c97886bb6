// Playback timing measured from outside: a recording is played into a
// private Xvfb and every event is watched through RECORD, whose timestamps
// the server takes when it processes the event. Each playback is followed by
// the same events from a reference injector (a bare XTest loop sleeping to
// absolute deadlines on a thread of its own), under the same load, so that
// every figure has one to be compared with. The player's own trace tells
// where the time of its late events went. With --peer, the same kind of
// sequence is then played by xmacroplay (Debian's xmacro) and measured the
// same way.
//
//   bench_playback [--load] [--peer] [--runs N] [--events N]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CpuLoad.h"
#include "PlaybackRuns.h"
#include "RecordObserver.h"
#include "RecordingMessages.h"
#include "TempDir.h"
#include "XvfbSession.h"
#include "journal/Player.h"
#include "journal/RecordingStore.h"
#include "platform/qt/QtClock.h"
#include "platform/x11/OwnDisplay.h"
#include "platform/x11/X11CancelWatch.h"
#include "platform/x11/X11Platform.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

namespace ks::bench {
namespace {

using test::ObservedEvent;

// Room for every place the sequence moves the pointer to.
constexpr MoveSpan kMoves{900, 700};

struct Figures {
    double median = 0, p99 = 0, max = 0, drift = 0, earliest = 0;
    std::size_t lost = 0;
};

// What RECORD saw for each played event, in the played order; empty where
// an event never arrived. Events nobody played (a peer's extras) are passed over.
using Matched = std::vector<std::optional<ObservedEvent>>;

// Per-gap error |observed gap - expected gap| between consecutive events
// that both arrived, the drift of the last event against the schedule
// anchored at the first, and the earliest any event came against it.
Figures measure(const Matched& seen, const std::vector<std::int32_t>& expected,
                std::int32_t onlyGap = 0) {
    Figures f;
    std::vector<double> errors;
    double scheduled = 0;
    double earliest = 0;
    const std::optional<ObservedEvent>& first = seen.front();
    for (std::size_t i = 1; i < seen.size(); ++i) {
        scheduled += expected[i - 1];
        if (!seen[i]) continue;
        if (!first) break;
        const double offset = static_cast<std::int32_t>(seen[i]->time - first->time) - scheduled;
        earliest = std::min(earliest, offset);
        f.drift = offset;
        if (!seen[i - 1] || (onlyGap != 0 && expected[i - 1] != onlyGap)) continue;
        const auto gap = static_cast<std::int32_t>(seen[i]->time - seen[i - 1]->time);
        errors.push_back(std::abs(gap - expected[i - 1]));
    }
    f.lost = static_cast<std::size_t>(std::count(seen.begin(), seen.end(), std::nullopt));
    f.median = percentile(errors, 0.5);
    f.p99 = percentile(errors, 0.99);
    f.max = errors.empty() ? 0 : *std::max_element(errors.begin(), errors.end());
    f.earliest = earliest;
    return f;
}

void print(const char* what, const Figures& f) {
    std::printf("%-44s %7.0f %6.0f %6.0f %8.0f %9.0f %5zu\n", what, f.median, f.p99, f.max, f.drift,
                f.earliest, f.lost);
    std::fflush(stdout);
}

void header() {
    std::printf("%-44s %7s %6s %6s %8s %9s %5s\n", "run (per-gap error in ms)", "median", "p99",
                "max", "drift", "earliest", "lost");
}

// The bare reference: XTest on a connection of its own, from a thread of
// its own at the default priority, each event sent once clock_nanosleep
// returns from the absolute deadline of its cumulative gap.
void injectReference(const std::string& display, const std::vector<JournalEvent>& events,
                     const std::vector<std::int32_t>& gaps,
                     const std::function<unsigned(const JournalEvent&)>& keycodeOf) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return;
    sendOnSchedule(events, gaps, [&](const JournalEvent& e, const timespec&) {
        if (e.message == kWmMouseMove) {
            XTestFakeMotionEvent(x, DefaultScreen(x), static_cast<int>(e.paramL),
                                 static_cast<int>(e.paramH), CurrentTime);
        } else {
            XTestFakeKeyEvent(x, keycodeOf(e), e.message == kWmKeyDown, CurrentTime);
        }
        XFlush(x);
    });
    XSync(x, False);
    XCloseDisplay(x);
}

class Bench {
public:
    explicit Bench(const std::string& display)
        : display_(display),
          observer_(display),
          input_(openInput(display)),
          watch_(display),
          keymap_(x11::openOwnDisplay(display)),
          store_(tree_, messages_),
          player_({store_, expander_, input_->playbackThread(), watch_, clock_, host_}) {
        store_.EnsureRootKeys();
    }

    bool ready() { return observer_.started() && input_->playbackThread().available(); }

    // Plays `events` at speed S through a PLAYBACK RECORDING command; gives
    // what RECORD saw and the CPU time the process used (the player, its
    // thread and the RECORD observer) as a share of one core.
    Matched play(const std::vector<JournalEvent>& events, std::int32_t speed,
                 double* cpuShare = nullptr) {
        storeRecording(store_, events, speed);
        settle();
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        playStored(player_, host_);
        if (cpuShare) *cpuShare = (processCpuSeconds() - cpuBefore) / (wall.nsecsElapsed() / 1e9);
        return match(events, observer_.waitFor(events.size(), 5000));
    }

    // The same events, `gaps` apart, from the reference injector.
    Matched playReference(const std::vector<JournalEvent>& events,
                          const std::vector<std::int32_t>& gaps) {
        settle();
        std::thread reference(injectReference, display_, events, gaps,
                              [this](const JournalEvent& e) { return keycodeOf(e); });
        reference.join();
        return match(events, observer_.waitFor(events.size(), 5000));
    }

    // The same events through xmacroplay, which spaces every event by the
    // one delay it is given (its script's Delay counts whole seconds).
    Matched playWithXmacroplay(const std::vector<JournalEvent>& events, std::int32_t gap) {
        std::string script;
        for (const JournalEvent& e : events) {
            if (e.message == kWmMouseMove) {
                script += "MotionNotify " + std::to_string(e.paramL) + " " +
                          std::to_string(e.paramH) + "\n";
                continue;
            }
            // By keysym name: xmacroplay translates raw keycodes through
            // a keymap of its own.
            const auto vk = static_cast<std::uint8_t>(e.paramL);
            script += (e.message == kWmKeyDown ? "KeyStrPress " : "KeyStrRelease ") +
                      std::string(XKeysymToString(XkbKeycodeToKeysym(
                          keymap_.get(), static_cast<KeyCode>(keycodeOf(vk)), 0, 0))) +
                      "\n";
        }
        // The server drops the delayed events of a client that has gone, so
        // xmacroplay is kept connected until all of them are due, stalls included.
        const int playing = static_cast<int>(events.size()) * gap;
        script += "Delay " + std::to_string(playing / 1000 + 5) + "\n";
        settle();
        const std::string command =
            "xmacroplay -d " + std::to_string(gap) + " " + display_ + " >/dev/null 2>&1";
        FILE* pipe = popen(command.c_str(), "w");
        if (!pipe) return Matched(events.size());
        std::fwrite(script.data(), 1, script.size(), pipe);
        pclose(pipe);
        // Everything is due by now; a key held through a stall repeats, so
        // the count of events seen says nothing: wait for the stream to settle.
        return match(events, observer_.waitFor(SIZE_MAX, 1500));
    }

private:
    // Lets the last run's events arrive before the next run is watched.
    void settle() {
        observer_.waitFor(SIZE_MAX, 500);
        observer_.clear();
    }

    unsigned keycodeOf(std::uint8_t vk) {
        return input_->keymap().layout()->MapVirtualKey(vk, MapType::VkToScan) + 8;
    }
    unsigned keycodeOf(const JournalEvent& event) {
        return keycodeOf(static_cast<std::uint8_t>(event.paramL));
    }

    static std::unique_ptr<x11::X11Platform> openInput(const std::string& display) {
        auto platform = x11::X11Platform::open(display);
        if (!platform) {
            std::fprintf(stderr, "%s\n", platform.error().c_str());
            std::exit(1);
        }
        return std::move(*platform);
    }

    bool sameEvent(const JournalEvent& played, const ObservedEvent& seen) {
        switch (played.message) {
            case kWmKeyDown:
                return seen.type == test::kKeyPress && seen.detail == keycodeOf(played);
            case kWmKeyUp:
                return seen.type == test::kKeyRelease && seen.detail == keycodeOf(played);
            default:
                return seen.type == test::kMotionNotify &&
                       seen.x == static_cast<int>(played.paramL) &&
                       seen.y == static_cast<int>(played.paramH);
        }
    }

    Matched match(const std::vector<JournalEvent>& events, const std::vector<ObservedEvent>& seen) {
        Matched matched;
        std::size_t next = 0;
        for (const JournalEvent& event : events) {
            std::size_t j = next;
            while (j < seen.size() && !sameEvent(event, seen[j])) ++j;
            if (j < seen.size()) {
                matched.push_back(seen[j]);
                next = j + 1;
            } else {
                matched.push_back(std::nullopt);
            }
        }
        return matched;
    }

    static double processCpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }

    std::string display_;
    test::RecordObserver observer_;
    std::unique_ptr<x11::X11Platform> input_;
    x11::X11CancelWatch watch_;
    x11::OwnDisplay keymap_;
    test::TempDir dir_;
    test::RecordingMessages messages_;
    KeyTree tree_{dir_.file("store.db")};
    SettingsStore store_;
    NoExpansion expander_;
    QtClock clock_;
    BenchHost host_;
    Player player_;
};

std::vector<std::int32_t> scaled(const std::vector<std::int32_t>& gaps, std::int32_t speed) {
    std::vector<std::int32_t> out;
    for (std::int32_t gap : gaps) out.push_back(static_cast<std::int32_t>(scaledGap(gap, speed)));
    return out;
}

// One event of the player's trace: its stamps in monotonic nanoseconds (the
// clock Xvfb stamps events with) and its counts.
struct TracedEvent {
    long long deadline = 0, woke = 0, handed = 0, flushed = 0;
    unsigned long requests = 0;
    long blocked = 0, preempted = 0;
};

struct Trace {
    std::string priority;  // as the trace's header says
    std::vector<TracedEvent> events;
};

// Reads the trace the player's thread appended, and empties the file for
// the next playback.
Trace takeTrace(const std::string& file) {
    Trace trace;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("#")) {
            const std::size_t from = line.find("priority "), to = line.find(';');
            if (from != std::string::npos && to > from)
                trace.priority = line.substr(from + 9, to - from - 9);
            continue;
        }
        TracedEvent e;
        if (std::sscanf(line.c_str(), "%lld %lld %lld %lld %lu %ld %ld", &e.deadline, &e.woke,
                        &e.handed, &e.flushed, &e.requests, &e.blocked, &e.preempted) == 7)
            trace.events.push_back(e);
    }
    std::ofstream(file, std::ios::trunc);
    return trace;
}

// Where the time of the traced events went: the wake-up's lateness, the
// step up to the last request handed over, the flush (microseconds), and
// the server's stamp after the flush (whole milliseconds, as it stamps).
struct Phases {
    std::vector<double> lateness, wake, step, flush, server, requests, blocked, preempted;

    void add(const TracedEvent& e, std::uint32_t stamp) {
        const auto millisOf = [](long long nanos) {
            return static_cast<std::uint32_t>(nanos / 1000000);
        };
        lateness.push_back(static_cast<std::int32_t>(stamp - millisOf(e.deadline)));
        wake.push_back((e.woke - e.deadline) / 1e3);
        step.push_back((e.handed - e.woke) / 1e3);
        flush.push_back((e.flushed - e.handed) / 1e3);
        server.push_back(static_cast<std::int32_t>(stamp - millisOf(e.flushed)));
        requests.push_back(static_cast<double>(e.requests));
        blocked.push_back(static_cast<double>(e.blocked));
        preempted.push_back(static_cast<double>(e.preempted));
    }
};

// An event the server stamped this much after its deadline is late.
constexpr std::int32_t kLateMillis = 2;

void attribute(const Trace& trace, const Matched& seen, Phases& all, Phases& late) {
    if (trace.events.size() != seen.size()) {
        std::printf("  trace has %zu events for %zu played: not attributed\n", trace.events.size(),
                    seen.size());
        return;
    }
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (!seen[i]) continue;
        all.add(trace.events[i], seen[i]->time);
        if (all.lateness.back() >= kLateMillis) late.add(trace.events[i], seen[i]->time);
    }
}

void printPhases(const Phases& all, const Phases& late) {
    std::printf(
        "\nwhere the time went (trace): %zu events, %zu of them stamped %d ms or more late\n",
        all.lateness.size(), late.lateness.size(), kLateMillis);
    std::printf("%-40s %27s   %27s\n", "", "all events: median/p99/max",
                "late ones: median/p99/max");
    const auto row = [](const char* what, const std::vector<double>& a,
                        const std::vector<double>& b) {
        std::printf("%-40s %9.0f %8.0f %8.0f   %9.0f %8.0f %8.0f\n", what, percentile(a, 0.5),
                    percentile(a, 0.99), a.empty() ? 0 : *std::max_element(a.begin(), a.end()),
                    percentile(b, 0.5), percentile(b, 0.99),
                    b.empty() ? 0 : *std::max_element(b.begin(), b.end()));
    };
    row("stamped after the deadline (ms)", all.lateness, late.lateness);
    row("woke after the deadline (us)", all.wake, late.wake);
    row("wake-up to handed to the connection (us)", all.step, late.step);
    row("handed to flushed (us)", all.flush, late.flush);
    row("flushed to the server's stamp (ms)", all.server, late.server);
    row("requests sent", all.requests, late.requests);
    row("times the thread blocked", all.blocked, late.blocked);
    row("times the thread was preempted", all.preempted, late.preempted);
}

// The peer and the idle cost, for the benchmarks document's other figures.
void measurePeer(Bench& bench) {
    if (std::system("command -v xmacroplay >/dev/null 2>&1") == 0) {
        for (std::int32_t gap : {5, 20, 200}) {
            const std::size_t count = gap == 200 ? 100 : 400;
            const std::vector<std::int32_t> even(count - 1, gap);
            const auto seen = bench.playWithXmacroplay(sequence(even, kMoves), gap);
            const std::string name =
                "xmacroplay -d " + std::to_string(gap) + " (" + std::to_string(count) + " events)";
            header();
            print(name.c_str(), measure(seen, even));
        }
    } else {
        std::printf("xmacroplay not installed (Debian package xmacro): peer not measured\n");
    }
    const std::vector<std::int32_t> sparse(20, 500);
    double cpuShare = 0;
    const auto seen = bench.play(sequence(sparse, kMoves), 0, &cpuShare);
    std::printf(
        "\n10 s playback of 21 sparse events: process CPU %.3f %% of one core, "
        "%zu events lost\n",
        cpuShare * 100, measure(seen, sparse).lost);
}

// The runs are compared with each other only under like load: the
// machine's own is part of every result.
void printLoad(const char* when) {
    double load[1] = {0};
    if (getloadavg(load, 1) == 1) std::printf("load average %.2f %s\n", load[0], when);
}

struct Options {
    bool load = false;  // two CPU-bound processes
    bool peer = false;  // xmacroplay and the idle cost after the runs
    int runs = 10;
    std::size_t events = 300;
};

// Each run plays the recording through the player, then the same events
// through the reference, alternately at S = 0 and S = -100. A run passes
// when the player's p99 gap error is within 1 ms of the reference's, and on
// a machine without the added load its maximum within 2 ms, with no event lost.
int run(const Options& options) {
    const CpuLoad busy(options.load ? 2 : 0);
    test::TempDir traceDir;
    const std::string traceFile = traceDir.file("playback.trace");
    setenv("KEYSTRIDER_PLAYBACK_TRACE", traceFile.c_str(), 1);
    test::XvfbSession xvfb(false, "1280x1024x24");  // room for every position the sequence moves to
    Bench bench(xvfb.display());
    if (!bench.ready()) {
        std::fprintf(stderr, "RECORD or XTest missing on %s\n", xvfb.display().c_str());
        return 1;
    }
    const std::vector<std::int32_t> gaps = mixedGaps(options.events - 1);
    const std::vector<JournalEvent> events = sequence(gaps, kMoves);
    std::printf(
        "%zu events (keys and pointer moves), gaps 5/20/200 ms, observed via RECORD, %s\n"
        "per-gap error in ms; pass: Keystrider's p99 within 1 ms of the reference's%s\n",
        events.size(), options.load ? "two CPU-bound processes running" : "no added load",
        options.load ? "" : ", max within 2 ms");
    printLoad("at the start");
    std::printf("%4s %6s   %-20s %-20s\n", "run", "S", "Keystrider p99/max", "reference p99/max");
    Phases all, late;
    std::string priority;
    std::vector<int> failed;
    for (int i = 1; i <= options.runs; ++i) {
        const std::int32_t speed = i % 2 == 1 ? 0 : -100;
        const std::vector<std::int32_t> expected = scaled(gaps, speed);
        const Matched played = bench.play(events, speed);
        const Trace trace = takeTrace(traceFile);
        const Matched reference = bench.playReference(events, expected);
        const Figures mine = measure(played, expected), theirs = measure(reference, expected);
        const bool pass = mine.lost == 0 && mine.p99 <= theirs.p99 + 1 &&
                          (options.load || mine.max <= theirs.max + 2);
        if (!pass) failed.push_back(i);
        std::printf("%4d %6d   %8.0f %8.0f    %8.0f %8.0f     %s%s\n", i, speed, mine.p99, mine.max,
                    theirs.p99, theirs.max, pass ? "pass" : "FAIL",
                    mine.lost + theirs.lost > 0 ? " (events lost)" : "");
        std::fflush(stdout);
        priority = trace.priority;
        attribute(trace, played, all, late);
    }
    std::printf("%s: %d of %d runs within the rule\n", failed.empty() ? "PASS" : "FAIL",
                options.runs - static_cast<int>(failed.size()), options.runs);
    std::printf("player's thread priority: %s\n", priority.c_str());
    printLoad("at the end");
    printPhases(all, late);
    if (options.peer) measurePeer(bench);
    return failed.empty() ? 0 : 2;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--load") {
            options.load = true;
        } else if (arg == "--peer") {
            options.peer = true;
        } else if (arg == "--runs" && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--events" && i + 1 < argc) {
            options.events = static_cast<std::size_t>(std::max(2, std::atoi(argv[++i])));
        } else {
            std::fprintf(stderr,
                         "usage: bench_playback [--load] [--peer] [--runs N] [--events N]\n");
            std::exit(64);
        }
    }
    return options;
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char** argv) {
    XInitThreads();
    QCoreApplication app(argc, argv);
    return ks::bench::run(ks::bench::parseOptions(argc, argv));
}
