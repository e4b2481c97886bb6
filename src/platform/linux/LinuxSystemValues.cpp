#include "platform/linux/LinuxSystemValues.h"

#include <pwd.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace ks {
namespace {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

utsname systemName() {
    utsname name{};
    if (uname(&name) != 0) return utsname{};
    return name;
}

}  // namespace

std::optional<std::string> LinuxSystemValues::driveFolder(char32_t letter) {
    switch (letter) {
        case U'C': return std::string("/");
        case U'D': return homeFolder();
        default: return std::nullopt;
    }
}

std::optional<DiskUsage> LinuxSystemValues::disk(char32_t letter) {
    const auto folder = driveFolder(letter);
    if (!folder) return std::nullopt;
    struct statvfs stats {};
    if (statvfs(folder->c_str(), &stats) != 0) return std::nullopt;
    const std::uint64_t unit = stats.f_frsize != 0 ? stats.f_frsize : stats.f_bsize;
    return DiskUsage{stats.f_bfree * unit, stats.f_blocks * unit};
}

// The folder of the system's own programs, and the system's root.
std::string LinuxSystemValues::systemDirectory() {
    return "/usr/bin";
}
std::string LinuxSystemValues::windowsDirectory() {
    return "/";
}

OsVersion LinuxSystemValues::version() {
    return parseKernelRelease(systemName().release);
}

PlatformFamily LinuxSystemValues::family() {
    return PlatformFamily::Other;
}

std::string LinuxSystemValues::serviceText() {
    return systemName().version;
}

std::uint64_t LinuxSystemValues::totalMemoryBytes() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

ScreenSize LinuxSystemValues::screen() {
    return screen_();
}

std::tm LinuxSystemValues::localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

OsVersion parseKernelRelease(std::string_view release) {
    std::uint32_t parts[3] = {0, 0, 0};
    const char* pos = release.data();
    const char* end = release.data() + release.size();
    for (std::uint32_t& part : parts) {
        const auto [next, error] = std::from_chars(pos, end, part);
        if (error != std::errc() || next == end || *next != '.') {
            break;
        }
        pos = next + 1;
    }
    return {parts[0], parts[1], parts[2]};
}

}  // namespace ks
