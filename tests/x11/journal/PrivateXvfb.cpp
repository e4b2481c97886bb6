#include "PrivateXvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace ks::test {

namespace {

[[noreturn]] void execXvfb(int displayFd) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    const std::string fd = std::to_string(displayFd);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
           "1280x1024x24", static_cast<char*>(nullptr));
    _exit(127);
}

// Reads the display number Xvfb writes once it accepts connections.
std::string readDisplayNumber(int fd) {
    std::string number;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 15000) <= 0) return {};
        char c = 0;
        if (read(fd, &c, 1) != 1) return {};
        if (c == '\n') return number;
        number += c;
    }
}

}  // namespace

PrivateXvfb::PrivateXvfb() {
    int fds[2];
    if (pipe(fds) != 0) {
        failure_ = "no pipe";
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        execXvfb(fds[1]);
    }
    close(fds[1]);
    const std::string number = pid_ > 0 ? readDisplayNumber(fds[0]) : std::string();
    close(fds[0]);
    if (number.empty()) {
        failure_ = "Xvfb did not start (is it installed?)";
        return;
    }
    display_ = ":" + number;
}

PrivateXvfb::~PrivateXvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

}  // namespace ks::test
