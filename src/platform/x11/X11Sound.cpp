#include "platform/x11/X11Sound.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace ks::x11 {
namespace {

// The bell names desktops that play sounds for bells (and XKB's own bell
// configuration) can tell apart; the server rings its plain bell for each.
const char* bellName(std::uint32_t type) {
    switch (type) {
        case 0x10: return "Stop";
        case 0x20: return "Question";
        case 0x30: return "Exclamation";
        case 0x40: return "Information";
        default: return nullptr;
    }
}

}  // namespace

void X11Sound::beep(int hertz, int milliseconds) {
    Display* display = connection_.display();
    // Pitch and length are the server's settings for every bell: change them
    // for this one ring and put them back at once. The server rings with the
    // settings in force when it handles the bell request, in request order.
    // XKB's bell rings as the core one does and is also reported to the
    // clients that listen for bells (desktops that play a sound for it; on
    // Xvfb, which has no bell, the core one is reported to nobody).
    XKeyboardState saved{};
    XGetKeyboardControl(display, &saved);
    XKeyboardControl control{};
    control.bell_pitch = hertz;
    control.bell_duration = milliseconds;
    XChangeKeyboardControl(display, KBBellPitch | KBBellDuration, &control);
    XkbBell(display, None, 0, None);
    control.bell_pitch = static_cast<int>(saved.bell_pitch);
    control.bell_duration = static_cast<int>(saved.bell_duration);
    XChangeKeyboardControl(display, KBBellPitch | KBBellDuration, &control);
    XFlush(display);
}

void X11Sound::alert(std::uint32_t type) {
    Display* display = connection_.display();
    const char* name = bellName(type);
    XkbBell(display, None, 0, name != nullptr ? connection_.atom(name) : None);
    XFlush(display);
}

}  // namespace ks::x11
