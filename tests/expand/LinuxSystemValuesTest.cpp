#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/linux/LinuxSystemValues.h"
#include "platform/x11/DisplayCheck.h"

namespace ks {
namespace {

TEST(KernelRelease, FirstThreeNumbers) {
    const std::pair<const char*, std::array<std::uint32_t, 3>> cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}},
        {"5.15.133.1-microsoft-standard-WSL2", {5, 15, 133}},
        {"4", {4, 0, 0}},
        {"", {0, 0, 0}},
        {"99999999999.1.2", {0, 0, 0}},
    };
    for (const auto& [release, expected] : cases) {
        const OsVersion v = parseKernelRelease(release);
        EXPECT_EQ((std::array<std::uint32_t, 3>{v.major, v.minor, v.build}), expected) << release;
    }
}

// Drive C is the root and drive D the home folder; the screen of a real server is measured at
// the X11 level (SystemX11Test), here only a display that cannot be reached.
TEST(LinuxSystemValues, DrivesMemoryVersionServiceTextAndAnUnreachableScreen) {
    LinuxSystemValues values([] { return x11::defaultScreenSize(":31999"); });
    EXPECT_EQ(LinuxSystemValues::driveFolder(U'C'), "/");
    EXPECT_EQ(LinuxSystemValues::driveFolder(U'D'), std::getenv("HOME"));
    for (char32_t letter : {U'A', U'E', U'c', U'É'}) EXPECT_EQ(values.disk(letter), std::nullopt);
    struct statvfs root {};
    ASSERT_EQ(statvfs("/", &root), 0);
    const auto c = values.disk(U'C');
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->totalBytes, static_cast<std::uint64_t>(root.f_blocks) * root.f_frsize);
    EXPECT_LE(c->freeBytes, c->totalBytes);
    std::ifstream meminfo("/proc/meminfo");
    std::string label;
    std::uint64_t kilobytes = 0;
    ASSERT_TRUE(meminfo >> label >> kilobytes);
    ASSERT_EQ(label, "MemTotal:");
    EXPECT_EQ(values.totalMemoryBytes(), kilobytes * 1024);
    EXPECT_GE(values.version().major, 2u);
    EXPECT_FALSE(values.serviceText().empty());
    EXPECT_EQ(values.screen().width, 0);
}

}  // namespace
}  // namespace ks
