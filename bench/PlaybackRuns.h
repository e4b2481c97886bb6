#pragma once

#include <QCoreApplication>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "expand/Expander.h"
#include "journal/Player.h"
#include "journal/RecordingStore.h"

namespace ks::bench {

class NoExpansion final : public Expander {
public:
    void Expand(std::string&) override {}
};

class BenchHost final : public PlayerHost {
public:
    std::uint64_t currentRun() override { return 1; }
    void postRunStep(std::uint64_t) override { done = true; }
    void endRun(std::uint64_t) override { done = failed = true; }
    bool raiseMainWindow() override { return true; }
    void postStopRun() override { done = failed = true; }
    bool done = false;
    bool failed = false;
};

// `count` gaps of 5, 5, 20, 20 and 200 ms, over and over.
inline std::vector<std::int32_t> mixedGaps(std::size_t count) {
    std::vector<std::int32_t> gaps;
    for (int i = 0; gaps.size() < count; ++i) {
        const int slot = i % 5;
        gaps.push_back(slot < 2 ? 5 : slot < 4 ? 20 : 200);
    }
    return gaps;
}

// Where the pointer moves of a sequence go: from 100, 100 up to 100 less
// than these.
struct MoveSpan {
    std::uint32_t width;
    std::uint32_t height;
};

// Keys (press, release) and pointer moves, each giving exactly one event at
// the target; every key pressed is released.
inline std::vector<JournalEvent> sequence(const std::vector<std::int32_t>& gaps, MoveSpan span) {
    std::vector<JournalEvent> events;
    std::uint32_t time = 50000;
    for (std::size_t i = 0; i <= gaps.size(); ++i) {
        if (i > 0) time += static_cast<std::uint32_t>(gaps[i - 1]);
        const auto letter = static_cast<std::uint32_t>(0x41 + (i / 3) % 26);
        // A key left down would repeat into the next run.
        const bool last = i == gaps.size();
        switch (last && i % 3 == 0 ? 2 : i % 3) {
            case 0: events.push_back({kWmKeyDown, letter, 0, time, 0}); break;
            case 1: events.push_back({kWmKeyUp, letter, 0, time, 0}); break;
            default:
                events.push_back(
                    {kWmMouseMove, static_cast<std::uint32_t>(100 + (i * 37) % span.width),
                     static_cast<std::uint32_t>(100 + (i * 53) % span.height), time, 0});
        }
    }
    return events;
}

inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * values.size())) - 1;
    return values[std::min(index, values.size() - 1)];
}

// The references' pacing: `send(event, due)` for each event once
// clock_nanosleep returns from the absolute deadline (monotonic) of its
// cumulative gap; the first goes at once.
template <typename Send>
void sendOnSchedule(const std::vector<JournalEvent>& events, const std::vector<std::int32_t>& gaps,
                    Send send) {
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i > 0) {
            const long long at = due.tv_sec * 1000000000LL + due.tv_nsec + gaps[i - 1] * 1000000LL;
            due.tv_sec = at / 1000000000LL;
            due.tv_nsec = at % 1000000000LL;
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        }
        send(events[i], due);
    }
}

// Stores `events` as the recording "Bench", played at speed S by the
// PLAYBACK RECORDING command that playStored() starts.
inline void storeRecording(SettingsStore& store, const std::vector<JournalEvent>& events,
                           std::int32_t speed) {
    WriteRecording(store, "Bench", events, 1);
    store.CreateMacroKey("Bench\\Commands\\0");
    store.WriteMacroString("Bench", "Bench\\Commands\\0", "JournalName");
    store.WriteDword(1, "\\Macros\\Bench\\Commands\\0", "PlayBackEvent");
    store.WriteMacroString(std::to_string(speed), "Bench\\Commands\\0", "PlayBackSpeed");
}

// Plays the stored recording and returns once the player is done.
inline void playStored(Player& player, BenchHost& host) {
    host.done = host.failed = false;
    player.startPlayback("Bench\\Commands\\0");
    QTimer wake;  // only to look at `done` again; the player needs no help
    wake.start(100);
    while (!host.done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (host.failed) std::fprintf(stderr, "playback failed\n");
    player.removeCancelWatcher();
}

}  // namespace ks::bench
