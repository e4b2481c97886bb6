#include "platform/wayland/WaylandServices.h"

#include <memory>

#include "core/Messages.h"
#include "platform/evdev/EvdevServices.h"
#include "platform/qt/QtMessages.h"
#include "platform/wayland/SwayHotKeys.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandInputBuilders.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/wayland/WaylandWindowControl.h"

namespace ks::wayland {
namespace {

// Typed phrases, recording and the cancel keys read the kernel's input
// devices, on any Wayland desktop whose user may read them. The builders
// share one of these, which lives as long as they do (the platform's).
std::shared_ptr<evdev::EvdevServices> inputDevices() {
    auto messages = std::make_shared<QtMessages>();
    return std::make_shared<evdev::EvdevServices>([messages](const std::string& text) {
        messages->show(text, "Keystrider", MsgIcon::Exclamation);
    });
}

}  // namespace

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
    // The device watches read keys with the layout the program's keyboard
    // follows (xkbcommon's default one until it opens).
    const std::shared_ptr<evdev::EvdevServices> devices = inputDevices();
    builders.capture = [devices](BuildContext&) -> Expected<std::unique_ptr<InputCapture>> {
        return devices->makeCapture();
    };
    builders.cancelWatch = [devices](BuildContext&) -> Expected<std::unique_ptr<CancelWatch>> {
        return devices->makeCancelWatch();
    };
    builders.keyWatch = [devices](BuildContext&) -> Expected<std::unique_ptr<KeyWatch>> {
        return devices->makeKeyWatch();
    };
    addDesktopServices(builders);
    addInputBuilders(builders, devices->seatKeymap());
    return builders;
}

}  // namespace ks::wayland
