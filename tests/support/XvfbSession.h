#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ks::test {

// A child process, ended (SIGTERM, then SIGKILL) when this goes away. The
// child also ends when the test process dies, so no server outlives a crash.
class ChildProcess {
public:
    // Starts `argv` with DISPLAY set to `display` (nothing else of the
    // environment changes); stdout goes to a pipe when `captureOutput`,
    // otherwise it is dropped with stderr. `keepFd` stays open in the child.
    ChildProcess(const std::vector<std::string>& argv, const std::string& display,
                 bool captureOutput = false, int keepFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    int output() const { return output_; }
    // Waits for the child to end by itself; its exit status, or -1 on time-out.
    int wait(std::chrono::milliseconds timeout);
    void stop();

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

// A private X server (Xvfb) on a display number of its own choosing, with
// openbox managing its windows, for tests that need a real desktop. It never
// touches the developer's $DISPLAY: the display is handed to each client
// explicitly. Throws std::runtime_error when the server cannot be started.
class XvfbSession {
public:
    explicit XvfbSession(bool windowManager = true, const std::string& screen = "1024x768x24");
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // ":N"
    const std::string& display() const { return display_; }

    // Runs a tool (setxkbmap, xdotool …) against this display and waits for
    // it; true when it exits with 0.
    bool run(const std::vector<std::string>& argv,
             std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    void waitForWindowManager() const;

    std::string display_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> windowManager_;
};

// Reads from `fd` until `done(text)` holds or the time runs out.
bool readUntil(int fd, std::string& text, const std::function<bool(const std::string&)>& done,
               std::chrono::milliseconds timeout);

}  // namespace ks::test
