#pragma once

#include <string>

#include "platform/qt/QtClipboard.h"

namespace ks::x11 {

// The CLIPBOARD selection: written and emptied through Qt, read on a
// connection of the program's own. Qt reads a selection by blocking its
// thread for up to five seconds per request, so an owner that does not
// answer would freeze the program; a read here is answered while the event
// loop runs, and gives up after kClipboardQuietLimit without a word from the
// owner or beyond kClipboardSizeLimit bytes.
class X11Clipboard final : public Clipboard {
public:
    // An empty name reads the session's display ($DISPLAY).
    explicit X11Clipboard(std::string display = {}) : display_(std::move(display)) {}

    std::optional<std::vector<std::uint32_t>> formats() override { return qt_.formats(); }
    std::optional<Bytes> data(std::uint32_t format) override { return qt_.data(format); }
    std::unique_ptr<ClipboardRead> read(const ClipboardChoice& choose,
                                        std::function<void()> answered) override;
    bool clear() override { return qt_.clear(); }
    bool offer(std::uint32_t format, const Bytes& bytes) override {
        return qt_.offer(format, bytes);
    }

private:
    std::string display_;
    QtClipboard qt_;
};

}  // namespace ks::x11
