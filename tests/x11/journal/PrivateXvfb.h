#pragma once

#include <sys/types.h>

#include <string>

namespace ks::test {

// An Xvfb of the test's own on a display number it picks itself, so a test
// never reaches the developer's display. Stopped with its owner.
class PrivateXvfb {
public:
    PrivateXvfb();
    ~PrivateXvfb();
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    bool running() const { return !display_.empty(); }
    // ":N"; empty when the server could not be started.
    const std::string& display() const { return display_; }
    const std::string& failure() const { return failure_; }

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string failure_;
};

}  // namespace ks::test
