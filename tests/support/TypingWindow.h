#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "XvfbSession.h"

namespace ks::test {

class WaylandSession;

// The typing-window program on a test display; `workPerKey` makes it a slow target.
class TypingWindow {
public:
    // Waits until it has the focus; throws when it does not get it.
    TypingWindow(const XvfbSession& session, const std::string& title = "typing window",
                 int x = 100, int y = 100, std::chrono::microseconds workPerKey = {});
    // The Qt form, full screen on a Wayland session's output; the session
    // ends it. No window id. With `reportTimes`, its text is one line per
    // key event and pointer move with the time it arrived (see TypingWindowQt.cpp).
    explicit TypingWindow(WaylandSession& session, const std::string& title = "typing window",
                          bool reportTimes = false);

    unsigned long window() const { return window_; }
    std::chrono::steady_clock::time_point lastArrival() const { return lastArrival_; }

    // What an editor would show of `typed`: each BackSpace takes the character before it.
    static std::string edited(const std::string& typed);

    // The text typed so far, once it is `bytes` long or nothing came for `quiet`.
    std::string text(std::size_t bytes,
                     std::chrono::milliseconds quiet = std::chrono::milliseconds(1500));

private:
    void awaitReady();

    std::unique_ptr<ChildProcess> owned_;
    ChildProcess* process_;
    unsigned long window_ = 0;
    std::chrono::steady_clock::time_point lastArrival_{};
};

}  // namespace ks::test
