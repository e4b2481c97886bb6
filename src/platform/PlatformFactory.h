#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "core/Result.h"
#include "platform/Platform.h"

namespace ks {

enum class PlatformKind { X11, Wayland };

// The stored option that picks the display system at every start: "x11",
// "wayland", or missing or empty for the session's own.
inline constexpr const char* kPlatformOption = "Platform";

// "x11" or "wayland", as the command line and the stored option name them.
std::optional<PlatformKind> platformKindNamed(std::string_view name);

// The session's own display system, from its WAYLAND_DISPLAY and
// XDG_SESSION_TYPE (either may be null): Wayland when the first is set or
// the second is "wayland", X11 otherwise.
PlatformKind sessionPlatformKind(const char* waylandDisplay, const char* sessionType);

// The command line's choice over the stored setting's over the session's.
PlatformKind choosePlatformKind(std::optional<PlatformKind> commandLine,
                                std::optional<PlatformKind> setting, PlatformKind session);

// Whether the display system can be reached, checked before the GUI toolkit
// starts (Qt ends the program when it cannot reach its display).
Result platformReachable(PlatformKind kind);

// Every service on the session's display of `kind`.
Expected<std::unique_ptr<Platform>> openPlatform(PlatformKind kind);

}  // namespace ks
