// Macro runner figures, on a store in a temporary folder:
//  1. commands per second for REPEAT 1000000 around one keystroke command and
//     its LOOP, every identifier and value read from the store as it runs;
//  2. how long DELAY 20 takes, over 100 runs;
//  3. the CPU time a 10-second DELAY costs.
#include <QCoreApplication>
#include <QEventLoop>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CommandHandlers.h"
#include "commands/CommandDispatch.h"
#include "core/Messages.h"
#include "expand/Expander.h"
#include "platform/qt/QtClock.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"
#include "runner/PendingRequest.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

using Steady = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

// Ends the event loop when a run ends.
class Bench {
public:
    Bench()
        : folder_(makeFolder()),
          tree_((folder_ / "store.db").string()),
          store_(tree_, messages_),
          runner_(store_, messages_, expander_, queue_, dispatch_, clock_) {
        store_.EnsureRootKeys();
        runner_.setPassStartWait(std::chrono::milliseconds(0));
        runner_.setPendingRequest(&end_);
    }
    ~Bench() { std::filesystem::remove_all(folder_); }

    void commandsPerSecond() {
        constexpr int kPasses = 1000000;
        writeCommand("count", 0, ks::kRepeat, "NumReps", std::to_string(kPasses));
        writeCommand("count", 1, 'A', "KeyPressed", "");
        writeCommand("count", 2, ks::kLoop, nullptr, "");
        long executed = 1;  // the REPEAT
        handlers_.setKeystrokeHandler([&](const std::string& path, std::uint32_t) {
            // As a keystroke command does: read its own value below its path.
            store_.ReadDword("\\Macros\\" + path, "KeyPressed");
            executed += 2;  // itself and the LOOP after it
        });
        const auto started = Steady::now();
        run("count");
        const double seconds = std::chrono::duration<double>(Steady::now() - started).count();
        std::printf("REPEAT %d around a LOOP: %ld commands in %.2f s = %.0f commands/s\n", kPasses,
                    executed, seconds, static_cast<double>(executed) / seconds);
    }

    void delayAccuracy() {
        constexpr int kRuns = 100;
        writeCommand("delay", 0, ks::kRepeat, "NumReps", std::to_string(kRuns));
        writeCommand("delay", 1, 'A', nullptr, "");
        writeCommand("delay", 2, ks::kDelay, "DelayInterval", "20");
        writeCommand("delay", 3, 'B', nullptr, "");
        writeCommand("delay", 4, ks::kLoop, nullptr, "");
        Steady::time_point before;
        std::vector<double> taken;
        handlers_.setKeystrokeHandler([&](const std::string&, std::uint32_t id) {
            if (id == 'A') {
                before = Steady::now();
            } else {
                taken.push_back(Millis(Steady::now() - before).count());
            }
        });
        run("delay");
        std::sort(taken.begin(), taken.end());
        const auto at = [&](double share) {
            return taken[static_cast<std::size_t>(share * static_cast<double>(taken.size() - 1))];
        };
        std::printf(
            "DELAY 20 over %zu runs: min %.2f ms, median %.2f ms, p95 %.2f ms, max %.2f ms\n",
            taken.size(), taken.front(), at(0.5), at(0.95), taken.back());
    }

    void delayCpu() {
        writeCommand("long", 0, ks::kDelay, "DelayInterval", "10000");
        const double cpuBefore = ks::bench::processCpuSeconds();
        const auto started = Steady::now();
        run("long");
        const double cpu = ks::bench::processCpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(Steady::now() - started).count();
        std::printf("DELAY 10000: %.2f s elapsed, %.1f ms CPU = %.3f %% of one core\n", wall,
                    cpu * 1000.0, 100.0 * cpu / wall);
    }

private:
    static std::filesystem::path makeFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ks-runner-bench-XXXXXX").string();
        return mkdtemp(pattern.data());
    }

    void writeCommand(const std::string& macro, int position, std::uint32_t id,
                      const char* valueName, const std::string& text) {
        const std::string key = std::string(ks::kDirectRoot) + "Macros\\" + macro + "\\Commands\\" +
                                std::to_string(position);
        store_.SetDword(key, "id", id);
        if (valueName == nullptr) return;
        if (id == 'A') {
            store_.SetDword(key, valueName, 0);
        } else {
            store_.SetText(key, valueName, text);
        }
    }

    void run(const std::string& macro) {
        queue_.post(ks::msg::StartMacro{macro});
        end_.loop.exec();
    }

    std::filesystem::path folder_;
    ks::StderrMessages messages_;
    ks::KeyTree tree_;
    ks::SettingsStore store_;
    ks::bench::IdentityExpander expander_;
    ks::QtClock clock_;
    ks::ApplicationQueue queue_;
    ks::CommandDispatch dispatch_;
    ks::test::CommandHandlers handlers_{dispatch_};
    ks::bench::RunEnd end_;
    ks::MacroRunner runner_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Bench bench;
    bench.commandsPerSecond();
    bench.delayAccuracy();
    bench.delayCpu();
    return 0;
}
