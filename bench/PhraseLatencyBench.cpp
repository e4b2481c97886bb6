// Whole-program figures of typed phrases: keystrider with one phrase macro
// ("btw" replaced by "by the way") on a private Xvfb with openbox, a
// notification area (so the program starts in the tray, as on a usual
// desktop, and shows no window that would take the keys) and a focused
// window, keys typed through XTest as another program would:
//  - from the release of the phrase's last key to the first BackSpace of its
//    replacement, in the server's own times (RECORD), keys 25 ms apart;
//  - CPU time of keystrider's watch thread, and of the whole program, while
//    keys that form no phrase come 10 a second;
//  - a 2,000-character text of words and line breaks holding "btw" 50 times,
//    typed by `xdotool type` with a key every 25, 6 and 0.4 ms: expansions
//    that came out right, and characters wrong or missing over the whole text.
//
//   bench_phrase_latency [--runs N] [--seconds S] [--paces 25,6,0.4]

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "EditDistance.h"
#include "RecordObserver.h"
#include "TempDir.h"
#include "TypingWindow.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "core/CommandId.h"
#include "core/Utf8.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

using namespace ks;
using std::chrono::milliseconds;

void writeStore(const std::string& file) {
    KeyTree tree(file);
    StderrMessages messages;
    SettingsStore store(tree, messages);
    store.EnsureRootKeys();
    store.SetDword(kDirectRoot, "WPhraseOn", 1);
    store.CreateMacroKey("Way\\Commands\\0");
    store.WriteMacroString("btw", "Way", "WPhrase");
    store.WriteDword(0, "\\Macros\\Way", "WPhraseCase");
    store.WriteDword(kReplaceWordOrPhrase, "\\Macros\\Way\\Commands\\0", "id");
    store.WriteMacroString("by the way", "Way\\Commands\\0", "Text");
}

// A key tapped as a quick typist would: down, 12 ms, up, 13 ms.
void tap(test::XTestDriver& driver, unsigned keycode) {
    driver.key(keycode, true), driver.sync();
    std::this_thread::sleep_for(milliseconds(12));
    driver.key(keycode, false), driver.sync();
    std::this_thread::sleep_for(milliseconds(13));
}

// User and system clock ticks of the process's thread named `name` (all
// threads when empty).
long cpuTicks(int pid, const std::string& name) {
    long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    while (dirent* entry = dir ? readdir(dir) : nullptr) {
        if (entry->d_name[0] == '.') continue;
        std::string comm;
        std::getline(std::ifstream(tasks + "/" + entry->d_name + "/comm"), comm);
        if (!name.empty() && comm != name) continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/stat");
        std::string field;
        std::getline(stat, field, ')');  // past the name, which may hold blanks
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && stat >> field; ++i) {
            if (i == 14) utime = std::stol(field);
            if (i == 15) stime = std::stol(field);
        }
        total += utime + stime;
    }
    if (dir) closedir(dir);
    return total;
}

// Words and line breaks, "btw" after every fourth word, 50 times in all.
std::string textWithPhrases() {
    static const char* const kWords[] = {"the",  "quick", "brown",  "fox", "jumps", "over",
                                         "lazy", "dog",   "pack",   "my",  "box",   "with",
                                         "five", "dozen", "liquor", "jugs"};
    std::string text;
    for (int word = 0, phrases = 0; text.size() < 2000; ++word) {
        text += word % 4 == 3 && phrases++ < 50 ? "btw" : kWords[word % 16];
        text += word % 9 == 8 ? "\n" : " ";
    }
    return text;
}

// Every "btw" replaced, as the text should come out.
std::string replaced(std::string text) {
    for (auto at = text.find("btw"); at != std::string::npos; at = text.find("btw", at)) {
        text.replace(at, 3, "by the way");
    }
    return text;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 30, seconds = 30;
    std::string paces = "25,6,0.4";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--paces") == 0) paces = argv[++i];
    }
    test::XvfbSession session;
    test::TempDir dir;
    writeStore(dir.file("config/keystrider/store.db"));
    test::ChildProcess tray({"trayer", "--edge", "top"}, session.display());
    test::TypingWindow window(session);
    test::ChildProcess app({"sh", "-c",
                            "export XDG_CONFIG_HOME=$0/config TMPDIR=$0 XDG_RUNTIME_DIR=$0 "
                            "QT_QPA_PLATFORM=xcb; exec \"$@\"",
                            dir.path().string(), KS_KEYSTRIDER},
                           session.display());
    std::this_thread::sleep_for(milliseconds(2000));
    if (!session.run({"sh", "-c",  // until the icon is docked
                      "until xwininfo -root -tree | grep -q '\"keystrider\": (\"'; do sleep 0.1; "
                      "done"})) {
        std::printf("keystrider's icon never docked in the notification area\n");
        return 1;
    }
    test::RecordObserver observer(session.display());
    test::XTestDriver driver(session.display());
    const unsigned b = driver.keycode("b"), t = driver.keycode("t"), w = driver.keycode("w"),
                   space = driver.keycode("space"), backSpace = driver.keycode("BackSpace");

    std::vector<long> latencies;
    for (int run = 0; run < runs; ++run) {
        observer.clear();
        for (unsigned key : {b, t, w}) tap(driver, key);
        long released = -1, erased = -1;
        for (int waited = 0; erased < 0 && waited < 2000; waited += 5) {
            for (const test::ObservedEvent& e : observer.waitFor(0, 5)) {
                if (e.type == test::kKeyRelease && e.detail == w && released < 0) released = e.time;
                if (e.type == test::kKeyPress && e.detail == backSpace && erased < 0) {
                    erased = e.time;
                }
            }
        }
        if (released >= 0 && erased >= 0) latencies.push_back(erased - released);
        std::this_thread::sleep_for(milliseconds(300));
        tap(driver, space);
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
        std::printf("no replacement seen\n");
        return 1;
    }
    std::printf(
        "last key released to first BackSpace: %zu of %d runs, min %ld, median %ld, "
        "max %ld ms\n",
        latencies.size(), runs, latencies.front(), latencies[latencies.size() / 2],
        latencies.back());

    const std::string words = "the quick brown fox jumps over a lazy dog ";
    const long threadBefore = cpuTicks(app.pid(), "phrase watch"),
               allBefore = cpuTicks(app.pid(), "");
    for (int i = 0; i < seconds * 10; ++i) {
        const char ch = words[i % words.size()];
        driver.key(ch == ' ' ? space : driver.keycode(std::string(1, ch).c_str()), true);
        driver.sync();
        std::this_thread::sleep_for(milliseconds(50));
        driver.key(ch == ' ' ? space : driver.keycode(std::string(1, ch).c_str()), false);
        driver.sync();
        std::this_thread::sleep_for(milliseconds(50));
    }
    const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double threadCpu = (cpuTicks(app.pid(), "phrase watch") - threadBefore) / hz;
    const double allCpu = (cpuTicks(app.pid(), "") - allBefore) / hz;
    std::printf(
        "CPU over %d s of 10 keys a second: watch thread %.3f s (%.2f%% of a core), "
        "whole program %.3f s (%.2f%%)\n",
        seconds, threadCpu, 100 * threadCpu / seconds, allCpu, 100 * allCpu / seconds);

    // xdotool sends a key about every half of its delay.
    const std::string text = textWithPhrases(), expected = replaced(text);
    for (std::size_t at = 0; at < paces.size();) {
        const std::size_t comma = std::min(paces.find(',', at), paces.size());
        const double pace = std::stod(paces.substr(at, comma - at));
        at = comma + 1;
        test::TypingWindow target(session, "paced");
        session.run({"xdotool", "type", "--delay", std::to_string(std::max(1.0, 2 * pace)), text},
                    std::chrono::minutes(5));
        const std::string got =
            test::TypingWindow::edited(target.text(expected.size() * 2, milliseconds(2000)));
        std::printf(
            "keys %.1f ms apart: %zu of %zu expansions right, %zu of %zu characters "
            "wrong or missing\n",
            pace, count(got, "by the way"), count(text, "btw"),
            bench::wrongOrMissing(utf8::codePoints(expected), utf8::codePoints(got)),
            expected.size());
    }
    return 0;
}
