#include "platform/wayland/WaylandServices.h"

#include <memory>

#include "core/Messages.h"
#include "platform/evdev/EvdevServices.h"
#include "platform/qt/QtMessages.h"

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

// A part plugs in here: it sets its member of `builders` to a function that
// opens its service from the BuildContext, or says why it cannot.
WaylandServiceBuilders waylandServiceBuilders() {
    WaylandServiceBuilders builders;
    // The seat's keymap (devices->seatKeymap()) is filled by whatever part
    // follows wl_keyboard.keymap; until then the watches read keys with
    // xkbcommon's default layout.
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
    return builders;
}

}  // namespace ks::wayland
