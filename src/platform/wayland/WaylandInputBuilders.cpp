#include "platform/wayland/WaylandInputBuilders.h"

#include "platform/wayland/WaylandInput.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/wayland/WaylandPlaybackThread.h"

namespace ks::wayland {
namespace {

// The devices the platform's keymap opened: the other input services share them.
Expected<std::shared_ptr<WaylandDevices>> devicesOf(BuildContext& context) {
    auto* keymap = dynamic_cast<WaylandKeymap*>(&context.platform.keymap());
    if (keymap == nullptr) return Result::failure("the program's keyboard could not start");
    return keymap->devices();
}

template <typename Service, typename Made>
ServiceBuilder<Service> sharingDevices() {
    return [](BuildContext& context) -> Expected<std::unique_ptr<Service>> {
        auto devices = devicesOf(context);
        if (!devices) return devices.status();
        return std::unique_ptr<Service>(std::make_unique<Made>(*devices));
    };
}

std::string pointerRefusal(const BuildContext& context, const WaylandDevices& devices) {
    if (!context.desktop.offers(Capability::Pointer))
        return refusalMessage(Capability::Pointer, context.desktop.family);
    return notStartedMessage(Capability::Pointer, devices.pointerError());
}

}  // namespace

void addInputBuilders(WaylandServiceBuilders& builders,
                      std::shared_ptr<SharedSeatKeymap> seatLayout) {
    builders.keymap = [seatLayout](BuildContext& context) -> Expected<std::unique_ptr<Keymap>> {
        auto devices = WaylandDevices::open(context.connection, seatLayout);
        if (!devices) return devices.status();
        return std::unique_ptr<Keymap>(std::make_unique<WaylandKeymap>(std::move(*devices)));
    };
    builders.injector = [](BuildContext& context) -> Expected<std::unique_ptr<InputInjector>> {
        auto devices = devicesOf(context);
        if (!devices) return devices.status();
        return std::unique_ptr<InputInjector>(
            std::make_unique<WaylandInputInjector>(*devices, pointerRefusal(context, **devices)));
    };
    builders.spareKeys = sharingDevices<SpareKeys, WaylandSpareKeys>();
    builders.keyboard = sharingDevices<KeyboardState, WaylandKeyboardState>();
    builders.playbackThread =
        [](BuildContext& context) -> Expected<std::unique_ptr<PlaybackThread>> {
        return std::unique_ptr<PlaybackThread>(std::make_unique<WaylandPlaybackThread>(
            context.displayName, context.platform.injector()));
    };
}

}  // namespace ks::wayland
