#include "TypingWindow.h"

#include <stdexcept>

#ifndef KS_TYPING_WINDOW_PATH
#error KS_TYPING_WINDOW_PATH must name the typing-window program
#endif

namespace ks::test {

TypingWindow::TypingWindow(const XvfbSession& session, const std::string& title, int x, int y,
                           std::chrono::microseconds workPerKey)
    : process_(std::make_unique<ChildProcess>(
          std::vector<std::string>{KS_TYPING_WINDOW_PATH, title, std::to_string(x),
                                   std::to_string(y), std::to_string(workPerKey.count())},
          session.display(), true)) {
    const bool ready = readUntil(
        process_->output(), buffer_,
        [](const std::string& s) { return s.find('\n') != std::string::npos; },
        // A window manager still busy with a burst of
        // keymap changes can take long to hand out the focus.
        std::chrono::seconds(60));
    const auto end = buffer_.find('\n');
    if (!ready || buffer_.rfind("READY ", 0) != 0)
        throw std::runtime_error("the typing window got no focus");
    window_ = std::stoul(buffer_.substr(6, end - 6));
    buffer_.erase(0, end + 1);
}

std::string TypingWindow::text(std::size_t bytes, std::chrono::milliseconds quiet) {
    // Reads in steps of `quiet`: stops once enough came or a step brought nothing.
    for (;;) {
        const std::size_t before = buffer_.size();
        if (before >= bytes) break;
        readUntil(
            process_->output(), buffer_,
            [&](const std::string& s) {
                if (s.size() != before) lastArrival_ = std::chrono::steady_clock::now();
                return s.size() >= bytes;
            },
            quiet);
        if (buffer_.size() == before) break;
    }
    return buffer_;
}

}  // namespace ks::test
