#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"

struct wl_display;
struct wl_interface;
struct wl_registry;

namespace ks::wayland {

// Hands every request made so far on `display` to the compositor, waiting
// at most `limit` while the socket is full: a request made into a full
// buffer is fatal to the connection, so nothing may be added before this
// has room. Every flush of the program's connections goes through here.
enum class Flushed { All, ConnectionFailed, StaysFull };
Flushed flushDisplay(wl_display* display, std::chrono::milliseconds limit);

// The failure of a flush that found the socket full all along.
inline constexpr const char* kCompositorTakesNoMore = "the compositor takes no more input";

// One global the compositor announces: the interface it implements, the
// highest version it offers, and the number a bind names it by.
struct WaylandGlobal {
    std::string interface;
    std::uint32_t version = 0;
    std::uint32_t name = 0;
};

// What a wait for events ended with.
enum class WaitOutcome { Events, WokenUp, TimedOut };

// The program's own connection to a Wayland compositor, apart from Qt's (Qt
// 6.4 gives no public handle to its own), with the globals the registry
// announced. A thread that works with the compositor opens a connection of
// its own: the proxies of one connection are used on one thread only.
class WaylandConnection {
public:
    // An empty name connects to $WAYLAND_DISPLAY (or "wayland-0"); a name
    // is a socket in $XDG_RUNTIME_DIR, and a path starting with '/' is the
    // socket itself. The globals are known once this returns.
    static Expected<std::unique_ptr<WaylandConnection>> open(const std::string& name = {});
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    // The globals announced so far, in the order they came.
    const std::vector<WaylandGlobal>& globals() const { return globals_; }
    // The global of an interface, or null when the compositor offers none.
    const WaylandGlobal* find(std::string_view interface) const;
    bool offers(std::string_view interface) const { return find(interface) != nullptr; }

    // Binds the first global of `interface` at the highest version both
    // sides know, up to `newest`; fails with a message naming the interface
    // when it is absent or older than `oldest`. The caller owns the proxy.
    Expected<void*> bind(const wl_interface& interface, std::uint32_t oldest, std::uint32_t newest);
    template <typename Proxy>
    Expected<Proxy*> bind(const wl_interface& interface, std::uint32_t oldest,
                          std::uint32_t newest) {
        auto bound = bind(interface, oldest, newest);
        if (!bound) return bound.status();
        return static_cast<Proxy*>(*bound);
    }

    // Sends every request and waits until the compositor handled them,
    // dispatching the events that came meanwhile.
    Result roundtrip();
    // flushDisplay() on this connection.
    Result flush(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Waits until events arrive (dispatching them), `wakeFd` becomes
    // readable (not read: the caller drains it), or `timeout` passes. For a
    // thread that owns this connection and is stopped through `wakeFd`.
    Expected<WaitOutcome> dispatchFor(std::chrono::milliseconds timeout, int wakeFd = -1);
    // Dispatches the events already read, without waiting.
    Result dispatchPending();
    // The connection's error, once the compositor ended it; empty while it holds.
    std::string error() const;

private:
    explicit WaylandConnection(wl_display* display);
    Result failure(const std::string& what) const;

    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    std::vector<WaylandGlobal> globals_;
};

}  // namespace ks::wayland
