#include "platform/wayland/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ks::wayland {
namespace {

std::string connectionName(const std::string& name) {
    if (!name.empty()) return name;
    const char* fromEnvironment = std::getenv("WAYLAND_DISPLAY");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : "wayland-0";
}

}  // namespace

Expected<std::unique_ptr<WaylandConnection>> WaylandConnection::open(const std::string& name) {
    wl_display* display = wl_display_connect(name.empty() ? nullptr : name.c_str());
    if (!display) {
        return Result::failure("Cannot connect to the Wayland compositor at " +
                               connectionName(name) + ": " + std::strerror(errno));
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    static const wl_registry_listener listener{&onGlobal, &onGlobalRemove};
    connection->registry_ = wl_display_get_registry(display);
    wl_registry_add_listener(connection->registry_, &listener, connection.get());
    if (Result done = connection->roundtrip(); !done) return done;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {}

WaylandConnection::~WaylandConnection() {
    if (registry_) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

const WaylandGlobal* WaylandConnection::find(std::string_view interface) const {
    const auto found = std::find_if(globals_.begin(), globals_.end(), [&](const WaylandGlobal& g) {
        return g.interface == interface;
    });
    return found == globals_.end() ? nullptr : &*found;
}

Expected<void*> WaylandConnection::bind(const wl_interface& interface, std::uint32_t oldest,
                                        std::uint32_t newest) {
    const WaylandGlobal* global = find(interface.name);
    if (!global) {
        return Result::failure(std::string("The compositor offers no ") + interface.name + ".");
    }
    if (global->version < oldest) {
        return Result::failure(std::string("The compositor offers ") + interface.name +
                               " version " + std::to_string(global->version) + ", older than " +
                               std::to_string(oldest) + ".");
    }
    const std::uint32_t version =
        std::min({global->version, newest, static_cast<std::uint32_t>(interface.version)});
    return wl_registry_bind(registry_, global->name, &interface, version);
}

Result WaylandConnection::roundtrip() {
    return wl_display_roundtrip(display_) < 0 ? failure("waiting for the compositor")
                                              : Result::success();
}

Flushed flushDisplay(wl_display* display, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) return Flushed::ConnectionFailed;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd writable{wl_display_get_fd(display), POLLOUT, 0};
        if (left.count() <= 0 || poll(&writable, 1, static_cast<int>(left.count())) <= 0)
            return Flushed::StaysFull;
    }
    return Flushed::All;
}

Result WaylandConnection::flush(std::chrono::milliseconds limit) {
    switch (flushDisplay(display_, limit)) {
        case Flushed::All: return Result::success();
        case Flushed::ConnectionFailed: return failure("sending to the compositor");
        case Flushed::StaysFull: break;
    }
    return Result::failure(kCompositorTakesNoMore);
}

Result WaylandConnection::dispatchPending() {
    return wl_display_dispatch_pending(display_) < 0 ? failure("handling the compositor's events")
                                                     : Result::success();
}

Expected<WaitOutcome> WaylandConnection::dispatchFor(std::chrono::milliseconds timeout,
                                                     int wakeFd) {
    // libwayland's reading protocol: announce the read, so that no other
    // reader takes the events between the poll and the read.
    while (wl_display_prepare_read(display_) != 0) {
        if (Result handled = dispatchPending(); !handled) return handled;
    }
    if (Result sent = flush(); !sent) {
        wl_display_cancel_read(display_);
        return sent;
    }
    pollfd fds[2] = {{wl_display_get_fd(display_), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int ready = 0;
    do {
        ready = poll(fds, wakeFd >= 0 ? 2 : 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if ((fds[0].revents & (POLLIN | POLLERR | POLLHUP)) == 0) {
        wl_display_cancel_read(display_);
        if (ready < 0) return failure("waiting for the compositor");
        return ready > 0 ? WaitOutcome::WokenUp : WaitOutcome::TimedOut;
    }
    if (wl_display_read_events(display_) < 0) return failure("reading from the compositor");
    if (Result handled = dispatchPending(); !handled) return handled;
    return (fds[1].revents & POLLIN) != 0 ? WaitOutcome::WokenUp : WaitOutcome::Events;
}

std::string WaylandConnection::error() const {
    const int code = wl_display_get_error(display_);
    if (code == 0) return {};
    if (code != EPROTO) return std::strerror(code);
    const wl_interface* interface = nullptr;
    std::uint32_t id = 0;
    const std::uint32_t protocolCode = wl_display_get_protocol_error(display_, &interface, &id);
    return std::string("protocol error ") + std::to_string(protocolCode) + " on " +
           (interface ? interface->name : "an unknown object") + "@" + std::to_string(id);
}

Result WaylandConnection::failure(const std::string& what) const {
    const std::string reason = error();
    return Result::failure("The Wayland connection failed " + what + ": " +
                           (reason.empty() ? std::strerror(errno) : reason));
}

void WaylandConnection::onGlobal(void* data, wl_registry*, std::uint32_t name,
                                 const char* interface, std::uint32_t version) {
    static_cast<WaylandConnection*>(data)->globals_.push_back({interface, version, name});
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto& globals = static_cast<WaylandConnection*>(data)->globals_;
    std::erase_if(globals, [name](const WaylandGlobal& g) { return g.name == name; });
}

}  // namespace ks::wayland
