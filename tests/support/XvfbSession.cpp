#include "XvfbSession.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ks::test {
namespace {

using Clock = std::chrono::steady_clock;

// The environment of this process with DISPLAY replaced.
std::vector<std::string> environmentWithDisplay(const std::string& display) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0) env.emplace_back(*entry);
    }
    env.push_back("DISPLAY=" + display);
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& display,
                           bool captureOutput, int keepFd) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environmentWithDisplay(display);
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(env);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(captureOutput ? pipeFds[1] : devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    if (captureOutput) {
        close(pipeFds[1]);
        output_ = pipeFds[0];
    }
}

ChildProcess::~ChildProcess() {
    stop();
    if (output_ >= 0) close(output_);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

void ChildProcess::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const pid_t child = pid_;
    if (wait(std::chrono::seconds(3)) == -1 && pid_ > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        pid_ = -1;
    }
}

bool readUntil(int fd, std::string& text, const std::function<bool(const std::string&)>& done,
               std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done(text)) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return done(text);
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

XvfbSession::XvfbSession(bool windowManager, const std::string& screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    // -displayfd: the server picks a free display number and writes it here
    // once it accepts connections, which is also the sign that it is ready.
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 screen, "-nolisten", "tcp", "-noreset"},
        "", false, fds[1]);
    close(fds[1]);
    std::string number;
    const bool ready = readUntil(
        fds[0], number, [](const std::string& s) { return s.find('\n') != std::string::npos; },
        std::chrono::seconds(20));
    close(fds[0]);
    if (!ready) throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number.substr(0, number.find('\n'));
    if (windowManager) {
        windowManager_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"openbox", "--sm-disable"}, display_);
        waitForWindowManager();
    }
}

XvfbSession::~XvfbSession() {
    windowManager_.reset();
    server_.reset();
}

// The manager is ready when it takes a window in: a probe window is mapped
// (again, should a manager still starting overlook the request) until the
// manager reparents it into a frame.
void XvfbSession::waitForWindowManager() const {
    Display* display = XOpenDisplay(display_.c_str());
    if (!display) throw std::runtime_error("cannot connect to " + display_);
    const Window probe =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XSelectInput(display, probe, StructureNotifyMask);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    bool managed = false;
    while (!managed && Clock::now() < deadline) {
        XUnmapWindow(display, probe);
        XMapWindow(display, probe);
        XFlush(display);
        const auto retry = Clock::now() + std::chrono::milliseconds(200);
        while (!managed && Clock::now() < retry) {
            while (!managed && XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                managed = event.type == ReparentNotify;
            }
            if (!managed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    XDestroyWindow(display, probe);
    XCloseDisplay(display);
    if (!managed) throw std::runtime_error("openbox did not start on " + display_);
}

bool XvfbSession::run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout) const {
    ChildProcess tool(argv, display_);
    return tool.wait(timeout) == 0;
}

}  // namespace ks::test
