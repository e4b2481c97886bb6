#include "PrivateXvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace ks::test {

namespace {

bool windowManagerRuns(const std::string& display) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (dpy == nullptr) return false;
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &format,
                       &count, &after, &data);
    const bool runs = data != nullptr && count == 1;
    if (data != nullptr) XFree(data);
    XCloseDisplay(dpy);
    return runs;
}

}  // namespace

pid_t spawnChild(const char* const argv[], const std::string& display) {
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    execvp(argv[0], const_cast<char* const*>(argv));
    _exit(127);
}

int stopChild(pid_t pid) {
    if (pid <= 0) return -1;
    kill(pid, SIGTERM);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PrivateXvfb::PrivateXvfb(bool withWindowManager) {
    int fds[2];
    if (pipe(fds) != 0) return;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                          "-nolisten", "tcp", nullptr};
    server_ = spawnChild(argv);
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        stopChild(server_);
        server_ = -1;
        return;
    }
    display_ = ":" + number;
    if (withWindowManager) startWindowManager();
}

// openbox now and then fails to connect to a server that has only just
// started; it is started again until it manages the screen.
void PrivateXvfb::startWindowManager() {
    const char* argv[] = {"openbox", "--sm-disable", nullptr};
    windowManager_ = spawnChild(argv, display_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!windowManagerRuns(display_) && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(windowManager_, nullptr, WNOHANG) == windowManager_) {
            windowManager_ = spawnChild(argv, display_);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

PrivateXvfb::~PrivateXvfb() {
    stopChild(windowManager_);
    stopChild(server_);
}

}  // namespace ks::test
