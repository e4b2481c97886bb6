#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/SystemValues.h"

namespace ks::test {

// System values set by the test, with the drive letters it asked for recorded.
class FakeSystemValues final : public SystemValues {
public:
    FakeSystemValues() {
        now.tm_year = 2026 - 1900;
        now.tm_mday = 2;  // 01/02/2026 09:07: every field needs its leading zero
        now.tm_hour = 9;
        now.tm_min = 7;
    }

    std::optional<DiskUsage> disk(char32_t letter) override {
        drivesAsked.push_back(letter);
        const auto found = disks.find(letter);
        if (found == disks.end()) return std::nullopt;
        return found->second;
    }
    std::string systemDirectory() override { return "/usr/bin"; }
    std::string windowsDirectory() override { return "/"; }
    OsVersion version() override { return {6, 1, 76}; }
    PlatformFamily family() override { return platform; }
    std::string serviceText() override { return service; }
    std::uint64_t totalMemoryBytes() override { return memory; }
    ScreenSize screen() override { return screenSize; }
    std::tm localTime() override { return now; }

    std::map<char32_t, DiskUsage> disks{{U'C', {1000, 5000}}};
    std::vector<char32_t> drivesAsked;
    PlatformFamily platform = PlatformFamily::Other;
    std::string service = "#1 SMP";
    std::uint64_t memory = 8ull << 30;
    ScreenSize screenSize{1920, 1080};
    std::tm now{};
};

}  // namespace ks::test
