#pragma once

#include <memory>

class QSocketNotifier;

namespace ks::wayland {

class WaylandConnection;

// Handles a connection's events while the GUI thread's event loop runs, so
// that a connection used only now and then still answers the compositor at
// once (a client that leaves its events unread is cut off once the
// compositor's buffer for it fills).
class WaylandEventNotifier {
public:
    explicit WaylandEventNotifier(WaylandConnection& connection);
    ~WaylandEventNotifier();
    WaylandEventNotifier(const WaylandEventNotifier&) = delete;
    WaylandEventNotifier& operator=(const WaylandEventNotifier&) = delete;

private:
    void handle();

    WaylandConnection& connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ks::wayland
