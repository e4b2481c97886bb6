#pragma once

#include <memory>

#include "core/Result.h"
#include "platform/Clipboard.h"

namespace ks::wayland {

class WaylandConnection;

// The clipboard (the seat's selection) through the data-control protocol of
// wlroots desktops, on a connection of the program's own: read and written
// in the background, whichever window has the focus. (Qt's clipboard on
// Wayland reads nothing and offers nothing others see unless one of the
// program's windows has the focus.) Reads from other programs are answered
// while the event loop runs and bounded like every clipboard read
// (kClipboardQuietLimit, kClipboardSizeLimit); what the program offers is
// written to each reader as the event loop runs, so a reader that does not
// read holds nothing up.
class WaylandClipboard final : public Clipboard {
public:
    // Fails when the compositor offers no data-control manager or no seat.
    static Expected<std::unique_ptr<WaylandClipboard>> open(
        std::unique_ptr<WaylandConnection> connection);
    ~WaylandClipboard() override;

    std::optional<std::vector<std::uint32_t>> formats() override;
    // Waits for the owner, within the limits of a read.
    std::optional<Bytes> data(std::uint32_t format) override;
    std::unique_ptr<ClipboardRead> read(const ClipboardChoice& choose,
                                        std::function<void()> answered) override;
    bool clear() override;
    bool offer(std::uint32_t format, const Bytes& bytes) override;

    struct Impl;

private:
    explicit WaylandClipboard(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::wayland
