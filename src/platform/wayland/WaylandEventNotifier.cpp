#include "platform/wayland/WaylandEventNotifier.h"

#include <wayland-client-core.h>

#include <QSocketNotifier>

#include "platform/wayland/WaylandConnection.h"

namespace ks::wayland {

WaylandEventNotifier::WaylandEventNotifier(WaylandConnection& connection)
    : connection_(connection),
      notifier_(std::make_unique<QSocketNotifier>(wl_display_get_fd(connection.display()),
                                                  QSocketNotifier::Read)) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { handle(); });
}

WaylandEventNotifier::~WaylandEventNotifier() = default;

void WaylandEventNotifier::handle() {
    // A connection the compositor ended stays readable: stop looking at it.
    if (!connection_.dispatchFor(std::chrono::milliseconds(0))) notifier_->setEnabled(false);
}

}  // namespace ks::wayland
