// Records how it was started, then shows a window until its X server goes.
// Arguments: the record file, the window's title, then any others. Each
// start appends one line to the record: the working folder, then every
// argument after the title, each after a '|'.

#include <X11/Xlib.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    {
        char folder[4096] = {};
        std::ofstream record(argv[1], std::ios::app);
        record << (getcwd(folder, sizeof folder) != nullptr ? folder : "?");
        for (int i = 3; i < argc; ++i) record << '|' << argv[i];
        record << '\n';
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 50, 50, 300, 200,
                                              0, 0, WhitePixel(display, DefaultScreen(display)));
    XStoreName(display, window, argv[2]);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(argv[2]),
                    static_cast<int>(std::strlen(argv[2])));
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
