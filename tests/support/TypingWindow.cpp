#include "TypingWindow.h"

#include <stdexcept>

namespace ks::test {

TypingWindow::TypingWindow(const XvfbSession& session, const std::string& title, int x, int y,
                           std::chrono::microseconds workPerKey)
    : owned_(std::make_unique<ChildProcess>(
          std::vector<std::string>{KS_TYPING_WINDOW_PATH, title, std::to_string(x),
                                   std::to_string(y), std::to_string(workPerKey.count())},
          session.display(), true)),
      process_(owned_.get()) {
    awaitReady();
}

// "READY", with the X window's id after it on X11.
void TypingWindow::awaitReady() {
    // A window manager busy with a burst of keymap changes can be slow to give the focus.
    const std::string line = process_->takeFirstLine("the typing window", std::chrono::seconds(60));
    if (!line.starts_with("READY")) throw std::runtime_error("the typing window got no focus");
    if (line.size() > 6) window_ = std::stoul(line.substr(6));
}

std::string TypingWindow::text(std::size_t bytes, std::chrono::milliseconds quiet) {
    std::string& out = process_->output();
    while (out.size() < bytes) {  // in steps of `quiet`, until one brings nothing
        const std::size_t before = out.size();
        process_->readUntil([&](const std::string& s) { return s.size() >= bytes; }, quiet);
        if (out.size() == before) break;
        lastArrival_ = std::chrono::steady_clock::now();
    }
    return out;
}

std::string TypingWindow::edited(const std::string& typed) {
    std::string out;
    for (const char c : typed) {
        if (c != '\b') out += c;
        while (c == '\b' && !out.empty() && (out.back() & 0xC0) == 0x80) out.pop_back();
        if (c == '\b' && !out.empty()) out.pop_back();  // the lead byte
    }
    return out;
}

}  // namespace ks::test
