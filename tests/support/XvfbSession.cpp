#include "XvfbSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <thread>

namespace ks::test {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& display,
                           bool captureOutput, bool ownGroup) {
    // env(1) sets DISPLAY; all is built before the fork, after which only
    // async-signal-safe calls are allowed.
    std::vector<std::string> args{"env", "DISPLAY=" + display};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> argp;
    for (std::string& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        if (ownGroup) setpgid(0, 0);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(captureOutput ? pipeFds[1] : devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp(argp[0], argp.data());
        _exit(127);
    }
    if (captureOutput) close(pipeFds[1]);
    pipe_ = pipeFds[0];
    if (ownGroup) {
        setpgid(pid_, pid_);  // also here: the group must exist before a kill
        group_ = pid_;
    }
}

ChildProcess::~ChildProcess() {
    const pid_t child = pid_;
    const pid_t target = group_ > 0 ? -group_ : child;
    if (child > 0) kill(target, SIGTERM);
    if (child > 0 && wait(std::chrono::seconds(3)) == -1) {
        kill(target, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    // What the leader started may outlive it.
    if (group_ > 0) kill(-group_, SIGKILL);
    if (pipe_ >= 0) close(pipe_);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    for (const auto deadline = Clock::now() + timeout; pid_ > 0 && Clock::now() < deadline;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

bool ChildProcess::readUntil(const std::function<bool(const std::string&)>& done,
                             std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done(output_)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{pipe_, POLLIN, 0};
        const int ready = poll(&p, 1, std::max(0, static_cast<int>(left.count())));
        if (ready < 0 && errno == EINTR) continue;
        char buffer[4096];
        const ssize_t n = ready > 0 ? read(pipe_, buffer, sizeof buffer) : 0;
        if (n <= 0) return done(output_);
        output_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::string ChildProcess::takeFirstLine(const std::string& what, std::chrono::milliseconds limit) {
    const auto line = [](const std::string& s) { return s.find('\n') != std::string::npos; };
    if (!readUntil(line, limit)) throw std::runtime_error(what + " did not start");
    const std::string first = output_.substr(0, output_.find('\n'));
    output_.erase(0, first.size() + 1);
    return first;
}

bool eventually(const std::function<bool()>& holds, std::chrono::milliseconds limit) {
    for (const auto deadline = Clock::now() + limit;;) {
        if (holds()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

XvfbSession::XvfbSession(bool windowManager, const std::string& screen) {
    // The server picks a free display number and prints it once it takes connections.
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten",
                                 "tcp", "-noreset"},
        "", true);
    display_ = ":" + server_->takeFirstLine("Xvfb", std::chrono::seconds(20));
    if (!windowManager) return;
    // openbox runs the startup command once it manages the screen.
    windowManager_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"openbox", "--sm-disable", "--startup", "echo"}, display_, true);
    windowManager_->takeFirstLine("openbox on " + display_, std::chrono::seconds(20));
}

bool XvfbSession::run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout) const {
    return ChildProcess(argv, display_).wait(timeout) == 0;
}

}  // namespace ks::test
