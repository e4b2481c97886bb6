#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

#include "TempDir.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string macroKey(std::uint32_t i) {
    return "SOFTWARE\\Crash\\m" + std::to_string(i % 64);
}

// Writes one "macro" of five values per transaction, forever, and reports
// each finished one on `reportFd`.
[[noreturn]] void writeUntilKilled(const std::string& file, int reportFd) {
    KeyTree tree(file);
    for (std::uint32_t i = 0;; ++i) {
        KeyTree::Transaction transaction(tree);
        bool ok = true;
        for (int v = 0; v < 5; ++v) {
            ok = ok &&
                 tree.setValue(macroKey(i), "v" + std::to_string(v), kTypeDword, dwordBytes(i));
        }
        if (!ok || !transaction.commit()) _exit(3);
        if (write(reportFd, &i, sizeof i) != sizeof i) _exit(4);
    }
}

TEST(ProcessSafety, KilledWriterLosesNothingItReportedFinished) {
    TempDir dir;
    const std::string file = dir.file("store.db");
    KeyTree(file).openStatus();  // create the schema before the race
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        writeUntilKilled(file, fds[1]);
    }
    close(fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);

    std::uint32_t last = 0;
    std::uint32_t reports = 0;
    for (std::uint32_t i; read(fds[0], &i, sizeof i) == sizeof i; ++reports) last = i;
    close(fds[0]);
    ASSERT_GT(reports, 10u);

    KeyTree tree(file);
    ASSERT_TRUE(tree.integrityCheck());
    // Each of the last 64 reported macros holds its own number in all five values.
    for (std::uint32_t i = last >= 63 ? last - 63 : 0; i <= last; ++i) {
        for (int v = 0; v < 5; ++v) {
            auto value = tree.readValue(macroKey(i), "v" + std::to_string(v));
            ASSERT_TRUE(value) << i;
            const auto stored = *dwordFromBytes(value->data);
            EXPECT_TRUE(stored == i || stored == last + 1) << i << " holds " << stored;
        }
    }
    // The one in flight at the kill is all there or not there at all.
    std::set<std::uint32_t> inFlight;
    for (int v = 0; v < 5; ++v) {
        inFlight.insert(
            *dwordFromBytes(tree.readValue(macroKey(last + 1), "v" + std::to_string(v))->data));
    }
    EXPECT_EQ(inFlight.size(), 1u);
}

// Mixed writes for `seconds`; the exit status counts the failures.
[[noreturn]] void writeFor(const std::string& file, int who, double seconds) {
    KeyTree tree(file);
    int failures = 0;
    auto check = [&](const Result& status, const char* what) {
        if (status) return;
        ++failures;
        std::fprintf(stderr, "%s: %s\n", what, status.error().c_str());
    };
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (int i = 0; Clock::now() < end; ++i) {
        const std::string key = "SOFTWARE\\Quorvel\\Keystrider\\Macros\\w" + std::to_string(who) +
                                "_" + std::to_string(i % 20);
        check(tree.setValue(key + "\\Commands\\0", "id", kTypeDword, dwordBytes(4096)), "set");
        check(tree.setValue("SOFTWARE\\Quorvel\\Keystrider\\Macros", "CmdLineMacro", kTypeText,
                            textBytes(key)),
              "set text");
        if (i % 3 == 0) {
            KeyTree::Transaction transaction(tree);
            for (int v = 0; v < 10; ++v) {
                check(tree.setValue(key, "v" + std::to_string(v), kTypeDword, dwordBytes(i)),
                      "in transaction");
            }
            check(transaction.commit(), "commit");
        }
        if (i % 7 == 0) check(tree.deleteTree(key), "delete");
        check(tree.subKeys("SOFTWARE\\Quorvel\\Keystrider\\Macros").status(), "enumerate");
    }
    _exit(failures > 255 ? 255 : failures);
}

TEST(ProcessSafety, TwoProcessesWritingAtOnceNeverFail) {
    TempDir dir;
    const std::string file = dir.file("store.db");
    KeyTree(file).openStatus();
    pid_t children[2];
    for (int who = 0; who < 2; ++who) {
        children[who] = fork();
        ASSERT_GE(children[who], 0);
        if (children[who] == 0) writeFor(file, who, 2.0);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in process " << child;
    }
    KeyTree tree(file);
    EXPECT_TRUE(tree.integrityCheck());
}

}  // namespace
}  // namespace ks::test
