// Types one text into a focused window on a private Xvfb with SEND KEYS, with
// `xdotool type --delay 0` and with `xdotool type` at its default delay, and
// prints characters per second and characters wrong or missing for each.
// With --slow-targets, SEND KEYS alone types a text of 200 distinct
// off-layout characters into targets that handle one key per 0.3 ms and
// per 1 ms, while two CPU-bound processes run.
//
//   bench_typing [--runs N] [--no-default-delay] [--slow-targets]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CpuLoad.h"
#include "EditDistance.h"
#include "FakeExpander.h"
#include "RecordingInput.h"
#include "TempDir.h"
#include "TypingRuns.h"
#include "TypingWindow.h"
#include "XvfbSession.h"
#include "core/Utf8.h"
#include "expand/StoredCommand.h"
#include "keys/KeyboardMouseCommands.h"
#include "platform/x11/X11Platform.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

using namespace ks;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kLength = 10000;
constexpr std::size_t kOffLayout = 200;
constexpr const char* kCommand = "bench\\Commands\\0";

// ASCII words, digits and shifted symbols with a line feed every line, and
// `offLayout` characters drawn from `extra` at random places, each its own.
std::u32string makeText(const std::u32string& extra, std::size_t offLayout, unsigned seed) {
    std::mt19937 random(seed);
    const std::u32string ascii =
        U"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "
        U"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    std::u32string text;
    while (text.size() < kLength) {
        text += (text.size() % 64 == 63) ? U'\n' : ascii[random() % ascii.size()];
    }
    for (std::size_t i = 0; i < offLayout; ++i) {
        std::size_t at = random() % kLength;
        while (text[at] > 0x7F) at = random() % kLength;
        text[at] = extra[i % extra.size()];
    }
    return text;
}

std::string utf8Of(const std::u32string& text) {
    std::string out;
    for (char32_t ch : text) utf8::append(out, ch);
    return out;
}

std::u32string decoded(const std::string& text) {
    std::u32string out;
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        out += cp.value;
        pos += cp.length;
    }
    return out;
}

using bench::RunFigures;

// One run: a fresh focused window that takes `workPerKey` for each key,
// `type` starts typing, the clock stops at the last character the window
// received.
RunFigures measure(const test::XvfbSession& session, const std::u32string& text,
                   const std::function<void()>& type,
                   std::chrono::microseconds workPerKey = std::chrono::microseconds(0)) {
    test::TypingWindow window(session, "typing window", 100, 100, workPerKey);
    const std::string expected = utf8Of(text);
    const auto start = Clock::now();
    type();
    const std::string got = window.text(expected.size(), std::chrono::seconds(10));
    const double seconds = std::chrono::duration<double>(window.lastArrival() - start).count();
    return {static_cast<double>(text.size()) / std::max(seconds, 1e-6),
            bench::wrongOrMissing(text, decoded(got))};
}

void report(const char* textName, const char* tool, const std::vector<RunFigures>& results) {
    const bench::RunsSummary runs = bench::summarise(results);
    std::printf("%-22s %-26s %4zu %10.0f %10.0f %10.0f %8zu %8zu\n", textName, tool, results.size(),
                runs.slowest, runs.median, runs.fastest, runs.wrong, runs.worst);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 10;
    bool defaultDelay = true;
    bool slowTargets = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--no-default-delay") == 0) defaultDelay = false;
        if (std::strcmp(argv[i], "--slow-targets") == 0) slowTargets = true;
    }
    test::XvfbSession session;
    auto opened = x11::X11Platform::open(session.display());
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().c_str());
        return 1;
    }
    x11::X11Platform& platform = **opened;
    test::TempDir dir;
    KeyTree tree(dir.file("store.db"));
    StderrMessages messages;
    SettingsStore store(tree, messages);
    store.EnsureRootKeys();
    store.CreateMacroKey(kCommand);
    test::FakeExpander expander;
    KeyboardMouseCommands commands(
        store, messages,
        InputServices{platform.keymap(), platform.injector(), platform.spareKeys(),
                      platform.keyboard(), platform.windows()},
        [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); });
    StoredCommand sendKeys(store, expander, kCommand);

    const std::size_t spareSlots = platform.spareKeys().capacity();
    std::u32string cjk;
    for (char32_t ch = 0x4E00; cjk.size() < 80; ch += 7) cjk += ch;
    const struct {
        const char* name;
        std::u32string text;
        bool withXdotool;
    } texts[] = {
        {"layout only", makeText(U"", 0, 1), true},
        {"200 off-layout (20)",
         makeText(U"\u00e9\u00e8\u00e0\u00f9\u00e7\u00f1\u00f6\u00fc\u00e4\u00df\u20ac\u00a3\u00a5"
                  U"\u00a9\u00ae\u00b1\u00b5\u00bf\u00a1\u03a9",
                  kOffLayout, 2),
         true},
        {"200 CJK (80 distinct)", makeText(cjk, kOffLayout, 3), false},
    };
    std::printf("Xvfb %s, %zu spare key slots, %d runs of %zu characters each\n",
                session.display().c_str(), spareSlots, runs, kLength);
    std::printf("%-22s %-26s %4s %10s %10s %10s %8s %8s\n", "text", "typed by", "runs", "min ch/s",
                "median", "max ch/s", "wrong", "worst");
    if (slowTargets) {
        const bench::CpuLoad busy(2);
        std::u32string distinct;
        for (char32_t ch = 0x4E00; distinct.size() < kOffLayout; ch += 3) distinct += ch;
        const std::u32string text = makeText(distinct, kOffLayout, 4);
        const std::string utf8 = utf8Of(text);
        for (const int workPerKey : {300, 1000}) {
            std::vector<RunFigures> results;
            for (int r = 0; r < runs; ++r) {
                results.push_back(measure(
                    session, text,
                    [&] {
                        store.WriteMacroString(utf8, kCommand, "Keys");
                        commands.run(kSendKeys, sendKeys);
                    },
                    std::chrono::microseconds(workPerKey)));
            }
            const std::string target = "SEND KEYS, " + std::to_string(workPerKey) + " us/key";
            report("200 distinct, loaded", target.c_str(), results);
        }
        return 0;
    }
    for (const auto& t : texts) {
        const std::string utf8 = utf8Of(t.text);
        std::vector<RunFigures> results;
        for (int r = 0; r < runs; ++r) {
            results.push_back(measure(session, t.text, [&] {
                store.WriteMacroString(utf8, kCommand, "Keys");
                commands.run(kSendKeys, sendKeys);
            }));
        }
        report(t.name, "SEND KEYS", results);
        if (!t.withXdotool) continue;
        for (const bool delay : {false, true}) {
            if (delay && !defaultDelay) continue;
            results.clear();
            for (int r = 0; r < runs; ++r) {
                results.push_back(measure(session, t.text, [&] {
                    std::vector<std::string> args{"xdotool", "type"};
                    if (!delay) args.insert(args.end(), {"--delay", "0"});
                    args.push_back(utf8);
                    session.run(args, std::chrono::minutes(10));
                }));
            }
            report(t.name, delay ? "xdotool type" : "xdotool type --delay 0", results);
        }
    }
    return 0;
}
