// Measures keystrider's readiness and its answer to a hot key, from a window
// of its own that holds the input focus:
//  - presses the hot key through XTest again and again; while keystrider has not
//    grabbed it, the press arrives at this window. The first press that does
//    not arrive was taken by the grab: its moment is printed (nanoseconds
//    since the epoch, as date +%s%N);
//  - then, once that run has typed its full stop and the program has had a
//    second to finish starting, presses the hot key again and prints the
//    milliseconds from that press to the arrival of the full stop it types.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Waits up to `timeout` for a key press of `keycode` at the window.
bool keyArrives(Display* dpy, KeyCode keycode, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == KeyPress && event.xkey.keycode == keycode) return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KEY MODIFIERS\n", argv[0]);
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) return 1;
    const Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(dpy, window, KeyPressMask | StructureNotifyMask);
    XMapRaised(dpy, window);
    for (XEvent event; XNextEvent(dpy, &event), event.type != MapNotify;) {
    }
    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    XSync(dpy, False);

    const unsigned modifiers = static_cast<unsigned>(std::atoi(argv[2]));
    std::vector<KeyCode> keys;
    const std::pair<unsigned, KeySym> modifierKeys[] = {{ShiftMask, XK_Shift_L},
                                                        {ControlMask, XK_Control_L},
                                                        {Mod1Mask, XK_Alt_L},
                                                        {Mod4Mask, XK_Super_L}};
    for (const auto& [mask, keysym] : modifierKeys) {
        if (modifiers & mask) keys.push_back(XKeysymToKeycode(dpy, keysym));
    }
    const KeyCode hotKey = XKeysymToKeycode(dpy, XStringToKeysym(argv[1]));
    keys.push_back(hotKey);

    auto press = [&] {
        for (KeyCode k : keys) XTestFakeKeyEvent(dpy, k, True, CurrentTime);
        for (auto k = keys.rbegin(); k != keys.rend(); ++k)
            XTestFakeKeyEvent(dpy, *k, False, CurrentTime);
        XSync(dpy, False);
    };
    const KeyCode typed = XKeysymToKeycode(dpy, XK_period);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        const auto wall = std::chrono::system_clock::now().time_since_epoch();
        press();
        if (keyArrives(dpy, hotKey, std::chrono::milliseconds(20))) continue;
        if (!keyArrives(dpy, typed, std::chrono::seconds(5))) return 1;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto pressed = Clock::now();
        press();
        if (!keyArrives(dpy, typed, std::chrono::seconds(5))) return 1;
        const double answerMs =
            std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
        std::printf("%lld %.1f\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()),
                    answerMs);
        return 0;
    }
    return 1;
}
