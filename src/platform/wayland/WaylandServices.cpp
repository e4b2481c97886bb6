#include "platform/wayland/WaylandServices.h"

#include "platform/wayland/SwayHotKeys.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/wayland/WaylandWindowControl.h"

namespace ks::wayland {

namespace {

// Each desktop service of this part has a connection of its own, so that
// one service's waiting never holds up another's events.
template <typename Service, typename Open>
ServiceBuilder<Service> onOwnConnection(Open open) {
    return [open](BuildContext& context) -> Expected<std::unique_ptr<Service>> {
        auto connection = WaylandConnection::open(context.displayName);
        if (!connection) return connection.status();
        auto opened = open(context, std::move(*connection));
        if (!opened) return opened.status();
        return std::unique_ptr<Service>(std::move(*opened));
    };
}

std::optional<SwayIpc> swayOf(const BuildContext& context) {
    if (context.swaySocket.empty()) return std::nullopt;
    auto ipc = SwayIpc::connect(context.swaySocket);
    if (!ipc) return std::nullopt;
    return std::move(*ipc);
}

void addDesktopServices(WaylandServiceBuilders& builders) {
    builders.windows = onOwnConnection<WindowControl>(
        [](BuildContext& context, std::unique_ptr<WaylandConnection> connection) {
            return WaylandWindowControl::open(
                std::move(connection), swayOf(context),
                [&platform = context.platform] { return platform.systemValues().screen(); },
                refusalMessage(Capability::WindowPlaces, context.desktop.family));
        });
    builders.clipboard = onOwnConnection<Clipboard>(
        [](BuildContext&, std::unique_ptr<WaylandConnection> connection) {
            return WaylandClipboard::open(std::move(connection));
        });
    builders.hotKeys = onOwnConnection<HotKeys>(
        [](BuildContext& context, std::unique_ptr<WaylandConnection> connection) {
            return SwayHotKeys::open(std::move(connection), context.swaySocket);
        });
}

}  // namespace

// A part plugs in here: it sets its member of `builders` to a function that
// opens its service from the BuildContext, or says why it cannot.
WaylandServiceBuilders waylandServiceBuilders() {
    WaylandServiceBuilders builders;
    addDesktopServices(builders);
    return builders;
}

}  // namespace ks::wayland
