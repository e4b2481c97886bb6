#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemValues.h"

namespace ks {

// The system values of a Linux machine: drive C is the root file system and
// drive D the user's home folder; the version is the kernel's; the screen is
// measured by the display system's backend.
class LinuxSystemValues final : public SystemValues {
public:
    using ScreenMeasure = std::function<ScreenSize()>;
    explicit LinuxSystemValues(ScreenMeasure screen) : screen_(std::move(screen)) {}

    std::optional<DiskUsage> disk(char32_t letter) override;
    std::string systemDirectory() override;
    std::string windowsDirectory() override;
    OsVersion version() override;
    PlatformFamily family() override;
    std::string serviceText() override;
    std::uint64_t totalMemoryBytes() override;
    ScreenSize screen() override;
    std::tm localTime() override;

    // The folder a drive letter stands for, if any.
    static std::optional<std::string> driveFolder(char32_t letter);

private:
    ScreenMeasure screen_;
};

// "6.1.0-18-amd64" gives 6, 1 and 0: the first three numbers of a kernel
// release, each 0 when missing.
OsVersion parseKernelRelease(std::string_view release);

}  // namespace ks
