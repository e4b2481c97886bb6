#pragma once

#include <string>
#include <sys/types.h>

namespace ks::test {

// An Xvfb of the test's own on a free display number, optionally with
// openbox managing it; both end with this object (or with the test process).
// Never touches the developer's $DISPLAY.
class PrivateXvfb {
public:
    explicit PrivateXvfb(bool withWindowManager = false);
    ~PrivateXvfb();
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    // ":N", or empty when the server could not be started.
    const std::string& display() const { return display_; }

private:
    void startWindowManager();

    std::string display_;
    pid_t server_ = -1;
    pid_t windowManager_ = -1;
};

// Starts `argv` as a child that gets SIGTERM should the test process die.
pid_t spawnChild(const char* const argv[], const std::string& display = {});
// Sends SIGTERM and reaps; returns the exit status, or -1.
int stopChild(pid_t pid);

}  // namespace ks::test
