#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>

#include "TempDir.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

std::string macroKey(int writer, std::uint32_t i) {
    return "SOFTWARE\\Crash" + std::to_string(writer) + "\\m" + std::to_string(i % 64);
}

// Writes macro i = 0, 1, ... as five values holding i, in one transaction each, and reports
// each finished one on `reportFd`, until killed; exits at once when a write fails.
[[noreturn]] void writeUntilKilled(const std::string& file, int writer, int reportFd) {
    KeyTree tree(file);
    for (std::uint32_t i = 0;; ++i) {
        KeyTree::Transaction transaction(tree);
        for (int v = 0; v < 5; ++v) {
            const std::string name = "v" + std::to_string(v);
            if (!tree.setValue(macroKey(writer, i), name, kTypeDword, dwordBytes(i))) _exit(3);
        }
        if (!transaction.commit()) _exit(3);
        if (write(reportFd, &i, sizeof i) != sizeof i) _exit(4);
    }
}

// Two processes write at once, neither ever failing, and are killed in the middle of their work:
// each loses nothing it reported finished.
TEST(ProcessSafety, ConcurrentWritersNeverFailAndKilledOnesLoseNothingReportedFinished) {
    TempDir dir;
    const std::string file = dir.file("store.db");
    KeyTree(file).openStatus();  // the schema before the race
    int fds[2][2];
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        ASSERT_EQ(pipe(fds[w]), 0);
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) writeUntilKilled(file, w, fds[w][1]);
        close(fds[w][1]);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    KeyTree tree(file);
    for (int w = 0; w < 2; ++w) {
        int status = 0;
        kill(writers[w], SIGKILL);
        waitpid(writers[w], &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself: " << WEXITSTATUS(status);
        std::uint32_t last = 0;
        std::uint32_t reports = 0;
        for (std::uint32_t i; read(fds[w][0], &i, sizeof i) == sizeof i; ++reports) last = i;
        close(fds[w][0]);
        ASSERT_GT(reports, 10u);
        ASSERT_TRUE(tree.integrityCheck());
        // The last 64 reported macros hold their own number in all five values (or the number
        // of the one in flight at the kill, which is all there or not there at all).
        std::set<std::uint32_t> inFlight;
        for (std::uint32_t i = last >= 63 ? last - 63 : 0; i <= last + 1; ++i) {
            for (int v = 0; v < 5; ++v) {
                auto value = tree.readValue(macroKey(w, i), "v" + std::to_string(v));
                const std::uint32_t stored = value ? *dwordFromBytes(value->data) : ~0u;
                if (i > last) {
                    inFlight.insert(stored);
                } else {
                    EXPECT_TRUE(stored == i || stored == last + 1) << i << " holds " << stored;
                }
            }
        }
        EXPECT_EQ(inFlight.size(), 1u);
    }
}

}  // namespace
}  // namespace ks::test
