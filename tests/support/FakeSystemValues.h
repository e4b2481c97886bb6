#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/SystemValues.h"

namespace ks::test {

// System values set by the test, with the drive letters it asked for recorded.
class FakeSystemValues final : public SystemValues {
public:
    std::optional<DiskUsage> disk(char32_t letter) override {
        drivesAsked.push_back(letter);
        const auto found = disks.find(letter);
        return found == disks.end() ? std::nullopt : std::optional(found->second);
    }
    std::string systemDirectory() override { return "/usr/bin"; }
    std::string windowsDirectory() override { return "/"; }
    OsVersion version() override { return {6, 1, 76}; }
    PlatformFamily family() override { return platform; }
    std::string serviceText() override { return "#1 SMP"; }
    std::uint64_t totalMemoryBytes() override { return 8ull << 30; }
    ScreenSize screen() override { return {1920, 1080}; }
    // 01/02/2026 09:07: every field needs its leading zero.
    std::tm localTime() override {
        std::tm now{};
        now.tm_year = 2026 - 1900;
        now.tm_mday = 2;
        now.tm_hour = 9;
        now.tm_min = 7;
        return now;
    }

    std::map<char32_t, DiskUsage> disks{{U'C', {1000, 5000}}};
    std::vector<char32_t> drivesAsked;
    PlatformFamily platform = PlatformFamily::Other;
};

}  // namespace ks::test
