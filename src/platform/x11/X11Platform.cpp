#include "platform/x11/X11Platform.h"

#include <cstdlib>

#include "platform/refusing/RefusingServices.h"
#include "platform/x11/DisplayCheck.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11KeyWatch.h"

namespace ks::x11 {

X11Platform::X11Platform(std::unique_ptr<XConnection> connection)
    : LinuxPlatformBase([name = connection->displayName()] { return defaultScreenSize(name); }),
      connection_(std::move(connection)),
      keymap_(*connection_),
      injector_(*connection_, keymap_),
      spareKeys_(*connection_),
      keyboard_(*connection_),
      windows_(*connection_),
      clipboard_(connection_->displayName()),
      playbackCancelWatch_(connection_->displayName()),
      playbackThread_(connection_->displayName(), injector_),
      recordCancelWatch_(connection_->displayName()),
      capture_(connection_->displayName()),
      sound_(*connection_) {}

X11Platform::~X11Platform() = default;

Expected<std::unique_ptr<X11Platform>> X11Platform::open(const std::string& display) {
    auto connection = XConnection::open(display);
    if (!connection) return connection.status();
    return std::unique_ptr<X11Platform>(new X11Platform(std::move(*connection)));
}

std::unique_ptr<KeyWatch> X11Platform::makeKeyWatch() {
    return std::make_unique<X11KeyWatch>(connection_->displayName());
}

std::unique_ptr<CancelWatch> X11Platform::makeCancelWatch() {
    return std::make_unique<X11CancelWatch>(connection_->displayName());
}

std::string X11Platform::startupNotice() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland) return {};
    return "Keystrider runs on Xwayland in this Wayland session: it types into, records, sees "
           "and moves the windows of X programs only, not those of Wayland programs, and its "
           "hot keys work only while an X program has the focus. For the Wayland backend, start "
           "it without --platform x11, with Options > Display system set to the session's.";
}

HotKeys& X11Platform::hotKeys() {
    if (!hotKeys_) {
        Expected<std::unique_ptr<X11HotKeys>> opened = X11HotKeys::open(connection_->displayName());
        if (opened) {
            hotKeys_ = std::move(*opened);
        } else {
            hotKeys_ = std::make_unique<RefusingHotKeys>(opened.error());
        }
    }
    return *hotKeys_;
}

}  // namespace ks::x11
