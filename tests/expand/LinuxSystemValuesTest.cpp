#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/linux/LinuxSystemValues.h"

extern char** environ;

namespace ks {
namespace {

TEST(KernelRelease, FirstThreeNumbers) {
    const struct {
        const char* release;
        OsVersion expected;
    } cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}},
        {"5.15.133.1-microsoft-standard-WSL2", {5, 15, 133}},
        {"4", {4, 0, 0}},
        {"", {0, 0, 0}},
        {"99999999999.1.2", {0, 0, 0}},
    };
    for (const auto& c : cases) {
        const OsVersion v = parseKernelRelease(c.release);
        EXPECT_EQ(v.major, c.expected.major) << c.release;
        EXPECT_EQ(v.minor, c.expected.minor) << c.release;
        EXPECT_EQ(v.build, c.expected.build) << c.release;
    }
}

TEST(LinuxSystemValues, DriveCIsTheRootAndDriveDTheHomeFolder) {
    LinuxSystemValues values;
    EXPECT_EQ(LinuxSystemValues::driveFolder(U'C'), "/");
    EXPECT_EQ(LinuxSystemValues::driveFolder(U'D'), std::getenv("HOME"));
    for (char32_t letter : {U'A', U'E', U'Z', U'c', U'É'}) {
        EXPECT_EQ(LinuxSystemValues::driveFolder(letter), std::nullopt);
        EXPECT_EQ(values.disk(letter), std::nullopt);
    }
    struct statvfs root {};
    ASSERT_EQ(statvfs("/", &root), 0);
    const auto c = values.disk(U'C');
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->totalBytes, static_cast<std::uint64_t>(root.f_blocks) * root.f_frsize);
    EXPECT_GT(c->totalBytes, 0u);
    EXPECT_LE(c->freeBytes, c->totalBytes);
    EXPECT_TRUE(values.disk(U'D').has_value());
}

TEST(LinuxSystemValues, MemoryVersionTextsAndNoScreenWithoutADisplay) {
    std::ifstream meminfo("/proc/meminfo");
    std::string label;
    std::uint64_t kilobytes = 0;
    ASSERT_TRUE(meminfo >> label >> kilobytes);
    ASSERT_EQ(label, "MemTotal:");
    LinuxSystemValues values(":31999");
    EXPECT_EQ(values.totalMemoryBytes(), kilobytes * 1024);
    EXPECT_GE(values.version().major, 2u);
    EXPECT_EQ(values.family(), PlatformFamily::Other);
    EXPECT_FALSE(values.serviceText().empty());
    EXPECT_EQ(values.systemDirectory(), "/usr/bin");
    EXPECT_EQ(values.windowsDirectory(), "/");
    EXPECT_EQ(values.screen().width, 0);
    EXPECT_EQ(values.screen().height, 0);
}

// A private Xvfb of a known size, ended with the test.
class PrivateXvfb {
public:
    PrivateXvfb() {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                              "800x600x24", "-nolisten",  "tcp",      nullptr};
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) !=
            0) {
            pid_ = 0;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (pid_ != 0) display_ = readDisplay(fds[0]);
        close(fds[0]);
    }
    ~PrivateXvfb() {
        if (pid_ == 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    const std::string& display() const { return display_; }

private:
    static std::string readDisplay(int fd) {
        std::string number;
        pollfd waiting{fd, POLLIN, 0};
        char c = 0;
        while (poll(&waiting, 1, 10000) > 0 && read(fd, &c, 1) == 1 && c != '\n') number += c;
        return number.empty() ? std::string() : ":" + number;
    }

    pid_t pid_ = 0;
    std::string display_;
};

TEST(LinuxSystemValues, ScreenSizeOfTheDisplay) {
    PrivateXvfb xvfb;
    if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    const ScreenSize size = LinuxSystemValues(xvfb.display()).screen();
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 600);
}

}  // namespace
}  // namespace ks
