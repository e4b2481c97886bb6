#include "platform/PlatformFactory.h"

#include <cstring>

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/DisplayCheck.h"
#include "platform/x11/X11Platform.h"

namespace ks {
namespace {

template <typename Backend>
Expected<std::unique_ptr<Platform>> asPlatform(Expected<std::unique_ptr<Backend>> opened) {
    if (!opened) return opened.status();
    return std::unique_ptr<Platform>(std::move(*opened));
}

}  // namespace

std::optional<PlatformKind> platformKindNamed(std::string_view name) {
    if (name == "x11") return PlatformKind::X11;
    if (name == "wayland") return PlatformKind::Wayland;
    return std::nullopt;
}

PlatformKind sessionPlatformKind(const char* waylandDisplay, const char* sessionType) {
    const bool wayland = (waylandDisplay && *waylandDisplay) ||
                         (sessionType && std::strcmp(sessionType, "wayland") == 0);
    return wayland ? PlatformKind::Wayland : PlatformKind::X11;
}

PlatformKind choosePlatformKind(std::optional<PlatformKind> commandLine,
                                std::optional<PlatformKind> setting, PlatformKind session) {
    return commandLine.value_or(setting.value_or(session));
}

Result platformReachable(PlatformKind kind) {
    if (kind == PlatformKind::Wayland) return wayland::WaylandConnection::open().status();
    std::string reason;
    return x11::displayReachable({}, reason) ? Result::success() : Result::failure(reason);
}

Expected<std::unique_ptr<Platform>> openPlatform(PlatformKind kind) {
    if (kind == PlatformKind::Wayland) return asPlatform(wayland::WaylandPlatform::open({}));
    return asPlatform(x11::X11Platform::open());
}

}  // namespace ks
