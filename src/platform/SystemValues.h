#pragma once

#include "platform/ScreenSize.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace ks {

// The operating system family a macro may ask for by name.
enum class PlatformFamily { Windows, NT, Other };

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};

struct DiskUsage {
    std::uint64_t freeBytes = 0;
    std::uint64_t totalBytes = 0;
};

// The values of the machine that command texts can name: disks by drive
// letter, directories, the system's version, memory, the screen and the
// local time. Each call reads the value afresh.
class SystemValues {
public:
    SystemValues() = default;
    SystemValues(const SystemValues&) = delete;
    SystemValues& operator=(const SystemValues&) = delete;
    virtual ~SystemValues() = default;

    // Free and total bytes of the drive with this (upper-case) letter;
    // nothing when the letter names no drive or the drive cannot be read.
    virtual std::optional<DiskUsage> disk(char32_t letter) = 0;
    virtual std::string systemDirectory() = 0;
    virtual std::string windowsDirectory() = 0;
    virtual OsVersion version() = 0;
    virtual PlatformFamily family() = 0;
    // The text that names the installed update level of the system; may be empty.
    virtual std::string serviceText() = 0;
    virtual std::uint64_t totalMemoryBytes() = 0;
    // Zero by zero when there is no screen.
    virtual ScreenSize screen() = 0;
    virtual std::tm localTime() = 0;
};

}  // namespace ks
