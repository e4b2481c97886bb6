// Types one 3,000-character mixed text (ASCII, Latin-1, CJK, emoji, a line
// break every 60 characters) into foot on a private headless sway, through
// the program's typing (its virtual keyboard and spare keys) and through
// wtype, alternating, and prints characters per second and characters wrong
// or missing for each. foot runs a shell writing what arrives to a file;
// the clock stops when the file holds the whole text (or nothing more came
// for 10 s).
//
//   bench_wayland_typing [--runs N]

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "EditDistance.h"
#include "SwayQuery.h"
#include "TypingRuns.h"
#include "WaylandSession.h"
#include "core/Utf8.h"
#include "keys/KeySequence.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"

namespace {

using namespace ks;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kLength = 3000;
// A terminal's line discipline holds at most 4,095 bytes a line; a line
// break every 60 characters stays well inside it.
constexpr std::size_t kLine = 60;

// ASCII with its punctuation, and one character in six off the US layout:
// 20 Latin-1 letters and signs, 10 CJK characters and 5 emoji.
std::u32string mixedText(unsigned seed) {
    const std::u32string ascii =
        U"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "
        U"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    const std::u32string extra = U"éèàùçñöüäß€£¥©®±µ¿¡Ω日本語中文字符한국어😀🎉👍🚀🌍";
    std::mt19937 random(seed);
    std::u32string text;
    while (text.size() < kLength) {
        if (text.size() % kLine == kLine - 1) {
            text += U'\n';
        } else if (random() % 6 == 0) {
            text += extra[random() % extra.size()];
        } else {
            text += ascii[random() % ascii.size()];
        }
    }
    text.back() = U'\n';
    return text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

off_t fileSize(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

using bench::RunFigures;

// One run into a fresh foot: `type` starts typing; the clock stops when
// the file holds as many bytes as the text, or at the last growth seen.
RunFigures measure(test::WaylandSession& session, const std::u32string& text, int run,
                   const std::function<void(const std::string&)>& type) {
    const std::string out = session.runtimeDir() + "/typed-" + std::to_string(run);
    session.startClient({"foot", "sh", "-c", "exec cat > " + out});
    test::eventually([&] { return fileSize(out) >= 0 && test::hasFocus(session, "foot"); });
    std::string expected;
    for (const char32_t ch : text) utf8::append(expected, ch);
    const auto start = Clock::now();
    type(expected);
    auto last = Clock::now();
    for (off_t size = fileSize(out), seen = size; size < static_cast<off_t>(expected.size());
         size = fileSize(out)) {
        if (size != seen) {
            seen = size;
            last = Clock::now();
        } else if (Clock::now() - last > std::chrono::seconds(10)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (fileSize(out) >= static_cast<off_t>(expected.size())) last = Clock::now();
    const double seconds = std::chrono::duration<double>(last - start).count();
    return {static_cast<double>(text.size()) / std::max(seconds, 1e-6),
            bench::wrongOrMissing(text, utf8::codePoints(readFile(out)))};
}

void report(const char* tool, const std::vector<RunFigures>& results) {
    const bench::RunsSummary runs = bench::summarise(results);
    std::printf("%-34s %4zu %10.0f %10.0f %10.0f %8zu %8zu\n", tool, results.size(), runs.slowest,
                runs.median, runs.fastest, runs.wrong, runs.worst);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::atoi(argv[++i]);
    }
    test::WaylandSession session(test::WaylandSession::Compositor::Sway, "default_border none");
    if (!session.skipReason().empty()) {
        std::fprintf(stderr, "%s\n", session.skipReason().c_str());
        return 1;
    }
    auto connection = wayland::WaylandConnection::open(session.socketPath());
    if (!connection) {
        std::fprintf(stderr, "%s\n", connection.error().c_str());
        return 1;
    }
    auto input = wayland::WaylandInput::open(**connection);
    if (!input) {
        std::fprintf(stderr, "%s\n", input.error().c_str());
        return 1;
    }
    KeySequence typing((*input)->keymap(), (*input)->injector(), (*input)->spareKeys(),
                       (*input)->keyboard());
    const std::string wtypeDisplay = "WAYLAND_DISPLAY=" + session.socketPath();

    std::vector<RunFigures> program, wtype;
    for (int r = 0; r < runs; ++r) {
        const std::u32string text = mixedText(static_cast<unsigned>(r + 1));
        program.push_back(
            measure(session, text, 2 * r, [&](const std::string& utf8) { typing.TypeText(utf8); }));
        wtype.push_back(measure(session, text, 2 * r + 1, [&](const std::string& utf8) {
            test::ChildProcess typist({"env", wtypeDisplay, "wtype", "--", utf8}, "");
            typist.wait(std::chrono::minutes(5));
        }));
    }
    std::printf("headless sway, foot, %d runs of %zu characters each (%zu spare key slots)\n", runs,
                kLength, (*input)->spareKeys().capacity());
    std::printf("%-34s %4s %10s %10s %10s %8s %8s\n", "typed by", "runs", "min ch/s", "median",
                "max ch/s", "wrong", "worst");
    report("Keystrider (virtual keyboard)", program);
    report("wtype", wtype);
    return 0;
}
