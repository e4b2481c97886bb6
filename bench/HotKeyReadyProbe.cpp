// Presses a hot key through XTest every 2 ms until FILE (keystrider's
// standard error) shows TEXT, the sign that the program answered the hot
// key; prints the moment of that press as nanoseconds since the epoch
// (as date +%s%N). Pressing, unlike trying a grab of one's own, never
// competes with the program for the key.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

bool fileContains(const char* file, const std::string& text) {
    std::ifstream in(file);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return content.find(text) != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s KEY MODIFIERS FILE TEXT\n", argv[0]);
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) return 1;
    const unsigned modifiers = static_cast<unsigned>(std::atoi(argv[2]));
    std::vector<KeyCode> keys;
    const std::pair<unsigned, const char*> modifierKeys[] = {
        {ShiftMask, "Shift_L"}, {ControlMask, "Control_L"}, {Mod1Mask, "Alt_L"}, {Mod4Mask, "Super_L"}};
    for (const auto& [mask, name] : modifierKeys) {
        if (modifiers & mask) keys.push_back(XKeysymToKeycode(dpy, XStringToKeysym(name)));
    }
    keys.push_back(XKeysymToKeycode(dpy, XStringToKeysym(argv[1])));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto pressed = std::chrono::system_clock::now().time_since_epoch();
        for (KeyCode k : keys) XTestFakeKeyEvent(dpy, k, True, CurrentTime);
        for (auto k = keys.rbegin(); k != keys.rend(); ++k) XTestFakeKeyEvent(dpy, *k, False, CurrentTime);
        XSync(dpy, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (fileContains(argv[3], argv[4])) {
            std::printf("%lld\n", static_cast<long long>(
                                      std::chrono::duration_cast<std::chrono::nanoseconds>(pressed).count()));
            return 0;
        }
    }
    return 1;
}
