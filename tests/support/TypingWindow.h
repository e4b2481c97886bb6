#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "XvfbSession.h"

namespace ks::test {

// The typing-window program running on a test display: a focused window
// whose typed text the test reads back.
class TypingWindow {
public:
    // Starts it and waits until it has the focus. Throws when it does not get it.
    // `workPerKey` makes it a slow target, spending that long on each key press.
    TypingWindow(const XvfbSession& session, const std::string& title = "typing window",
                 int x = 100, int y = 100, std::chrono::microseconds workPerKey = {});

    unsigned long window() const { return window_; }

    // The text typed so far, waiting until it is at least `bytes` long or
    // nothing more arrives for `quiet`.
    std::string text(std::size_t bytes,
                     std::chrono::milliseconds quiet = std::chrono::milliseconds(1500));

    // When the last part of the text arrived.
    std::chrono::steady_clock::time_point lastArrival() const { return lastArrival_; }

private:
    std::unique_ptr<ChildProcess> process_;
    unsigned long window_ = 0;
    std::string buffer_;
    std::chrono::steady_clock::time_point lastArrival_{};
};

}  // namespace ks::test
