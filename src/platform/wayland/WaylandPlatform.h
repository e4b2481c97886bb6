#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/linux/LinuxPlatformBase.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandServices.h"

namespace ks::wayland {

// Every service on a Wayland desktop. The desktop services come from the
// builders (WaylandServices.h) where the compositor offers what they need,
// and refuse with a message otherwise; the system services are Linux's, as
// on X11. Nothing falls back to Xwayland, which would reach the windows of
// X programs only.
class WaylandPlatform final : public LinuxPlatformBase {
public:
    struct Options {
        std::string display;     // empty: $WAYLAND_DISPLAY
        std::string swaySocket;  // empty: $SWAYSOCK, if that is a socket
    };
    static Expected<std::unique_ptr<WaylandPlatform>> open(
        const Options& options, WaylandServiceBuilders builders = waylandServiceBuilders());
    ~WaylandPlatform() override;

    Keymap& keymap() override { return *keymap_; }
    InputInjector& injector() override { return *injector_; }
    SpareKeys& spareKeys() override { return *spareKeys_; }
    KeyboardState& keyboard() override { return *keyboard_; }
    WindowControl& windows() override { return *windows_; }
    Clipboard& clipboard() override { return *clipboard_; }
    CancelWatch& playbackCancelWatch() override { return *playbackCancelWatch_; }
    PlaybackThread& playbackThread() override { return *playbackThread_; }
    CancelWatch& recordCancelWatch() override { return *recordCancelWatch_; }
    InputCapture& capture() override { return *capture_; }
    std::unique_ptr<KeyWatch> makeKeyWatch() override;
    std::unique_ptr<CancelWatch> makeCancelWatch() override;
    HotKeys& hotKeys() override;
    Sound& sound() override { return *sound_; }
    std::string startupNotice() override;

    WaylandConnection& connection() { return *connection_; }
    const WaylandDesktop& desktop() const { return desktop_; }
    // The capabilities the desktop lacks or whose parts could not start, in
    // the order of allCapabilities().
    std::vector<RefusedCapability> refused();

private:
    WaylandPlatform(std::unique_ptr<WaylandConnection> connection, const Options& options,
                    WaylandServiceBuilders builders);
    void buildServices();
    BuildContext context();
    // The builder's service where the desktop offers `capability` and the
    // builder gives one; otherwise `Refusing` with the reason, and every
    // capability in `covered` (those the service would have given) is refused.
    template <typename Service, typename Refusing, typename... Extra>
    std::unique_ptr<Service> build(Capability capability, std::vector<Capability> covered,
                                   const ServiceBuilder<Service>& builder, Extra&&... extra);

    std::unique_ptr<WaylandConnection> connection_;
    WaylandDesktop desktop_;
    std::string displayName_;
    std::string swaySocket_;
    WaylandServiceBuilders builders_;
    std::vector<RefusedCapability> unbuilt_;

    std::unique_ptr<Keymap> keymap_;
    std::unique_ptr<InputInjector> injector_;
    std::unique_ptr<SpareKeys> spareKeys_;
    std::unique_ptr<KeyboardState> keyboard_;
    std::unique_ptr<WindowControl> windows_;
    std::unique_ptr<Clipboard> clipboard_;
    std::unique_ptr<CancelWatch> playbackCancelWatch_;
    std::unique_ptr<PlaybackThread> playbackThread_;
    std::unique_ptr<CancelWatch> recordCancelWatch_;
    std::unique_ptr<InputCapture> capture_;
    std::unique_ptr<HotKeys> hotKeys_;
    std::unique_ptr<Sound> sound_;
};

}  // namespace ks::wayland
