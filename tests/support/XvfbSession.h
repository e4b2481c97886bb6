#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ks::test {

// A child process with DISPLAY set, ended when this goes away or the test process dies;
// its stdout goes to output() when `captureOutput`, else it is dropped with stderr. With
// `ownGroup` it leads a process group of its own, and the whole group is ended with it.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& display,
                 bool captureOutput = false, bool ownGroup = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads the child's output into output() until `done(output())` holds or the time runs out.
    bool readUntil(const std::function<bool(const std::string&)>& done,
                   std::chrono::milliseconds timeout);
    std::string& output() { return output_; }
    // Takes the child's first line of output, its sign of being ready; throws
    // std::runtime_error naming `what` when none came in `limit`.
    std::string takeFirstLine(const std::string& what, std::chrono::milliseconds limit);
    pid_t pid() const { return pid_; }
    // Waits for the child to end by itself; its exit status, or -1 on time-out.
    int wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    pid_t group_ = -1;
    int pipe_ = -1;
    std::string output_;
};

// Asks `holds` every 20 ms until it answers true or `limit` passed; whether it did. A true
// answer is not asked for again: `holds` may take what it looks at (an X event).
bool eventually(const std::function<bool()>& holds,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

// A private Xvfb on a free display number, with openbox unless told otherwise; throws
// std::runtime_error when it cannot start.
class XvfbSession {
public:
    explicit XvfbSession(bool windowManager = true, const std::string& screen = "1024x768x24");

    const std::string& display() const { return display_; }  // ":N"
    // Runs a tool (setxkbmap …) against this display; true when it exits with 0.
    bool run(const std::vector<std::string>& argv,
             std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    std::string display_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> windowManager_;  // ends before the server
};

}  // namespace ks::test
