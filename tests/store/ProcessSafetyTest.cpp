#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "TempDir.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

std::string macroKey(std::uint32_t i) {
    return "SOFTWARE\\Crash\\m" + std::to_string(i % 64);
}

// Writes macro i = 0, 1, ... as five values holding i in one transaction each, and reports
// each finished one on `reportFd`, until killed.
[[noreturn]] void writeUntilKilled(const std::string& file, int reportFd) {
    KeyTree tree(file);
    for (std::uint32_t i = 0;; ++i) {
        KeyTree::Transaction transaction(tree);
        for (int v = 0; v < 5; ++v) {
            if (!tree.setValue(macroKey(i), "v" + std::to_string(v), kTypeDword, dwordBytes(i)))
                _exit(3);
        }
        if (!transaction.commit()) _exit(3);
        if (write(reportFd, &i, sizeof i) != sizeof i) _exit(4);
    }
}

// Mixed writes for one second; the exit status counts the failures.
[[noreturn]] void writeMixed(const std::string& file) {
    KeyTree tree(file);
    int failures = 0;
    auto check = [&](const Result& status) {
        if (!status) std::fprintf(stderr, "%d: %s\n", ++failures, status.error().c_str());
    };
    const std::string macros = "SOFTWARE\\Quorvel\\Keystrider\\Macros";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        const std::string key = macros + "\\w" + std::to_string(i % 20);
        check(tree.setValue(key + "\\Commands\\0", "id", kTypeDword, dwordBytes(4096)));
        check(tree.setValue(macros, "CmdLineMacro", kTypeText, textBytes(key)));
        if (i % 3 == 0) {
            KeyTree::Transaction transaction(tree);
            for (int v = 0; v < 10; ++v)
                check(tree.setValue(key, "v" + std::to_string(v), kTypeDword, dwordBytes(i)));
            check(transaction.commit());
        }
        if (i % 7 == 0) check(tree.deleteTree(key));
        check(tree.subKeys(macros).status());
    }
    _exit(failures > 255 ? 255 : failures);
}

// Two processes write at once; one of them is killed in the middle of its work.
TEST(ProcessSafety, WritersNeverFailAndAKilledOneLosesNothingItReportedFinished) {
    TempDir dir;
    const std::string file = dir.file("store.db");
    KeyTree(file).openStatus();  // the schema before the race
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        close(fds[0]);
        writeUntilKilled(file, fds[1]);
    }
    close(fds[1]);
    const pid_t mixed = fork();
    ASSERT_GE(mixed, 0);
    if (mixed == 0) writeMixed(file);
    int status = 0;
    waitpid(mixed, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failed writes";
    kill(killed, SIGKILL);
    waitpid(killed, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);

    std::uint32_t last = 0;
    std::uint32_t reports = 0;
    for (std::uint32_t i; read(fds[0], &i, sizeof i) == sizeof i; ++reports) last = i;
    close(fds[0]);
    ASSERT_GT(reports, 10u);
    KeyTree tree(file);
    ASSERT_TRUE(tree.integrityCheck());
    // Each of the last 64 reported macros holds its own number in all five values, and the
    // one in flight at the kill is all there or not there at all.
    std::set<std::uint32_t> inFlight;
    for (std::uint32_t i = last >= 63 ? last - 63 : 0; i <= last + 1; ++i) {
        for (int v = 0; v < 5; ++v) {
            auto value = tree.readValue(macroKey(i), "v" + std::to_string(v));
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

}  // namespace
}  // namespace ks::test
