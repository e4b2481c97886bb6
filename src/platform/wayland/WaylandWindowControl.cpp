#include "platform/wayland/WaylandWindowControl.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/ShowPlan.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandEventNotifier.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace ks::wayland {

struct WaylandWindowControl::Toplevel {
    WindowId id = 0;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    std::string title;
    std::string appId;
    bool maximized = false;
    bool minimized = false;
    bool activated = false;
    bool fullscreen = false;
    bool closed = false;
};

namespace {

using Toplevel = WaylandWindowControl::Toplevel;

// Qt names a window's app id after the program's file when the program sets
// no desktop file name, as this one does not.
std::string ownAppId() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).filename().string();
}

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
    static_cast<Toplevel*>(data)->title = title;
}

void onAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
    static_cast<Toplevel*>(data)->appId = appId;
}

void onOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}

void onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
    auto* toplevel = static_cast<Toplevel*>(data);
    toplevel->maximized = toplevel->minimized = toplevel->activated = toplevel->fullscreen = false;
    const auto* values = static_cast<const std::uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
        switch (values[i]) {
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED: toplevel->maximized = true; break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED: toplevel->minimized = true; break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED: toplevel->activated = true; break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN:
                toplevel->fullscreen = true;
                break;
            default: break;
        }
    }
}

void onDone(void*, zwlr_foreign_toplevel_handle_v1*) {}

void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
    static_cast<Toplevel*>(data)->closed = true;
}

void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

constexpr zwlr_foreign_toplevel_handle_v1_listener kToplevelListener{
    onTitle, onAppId, onOutput, onOutput, onState, onDone, onClosed, onParent};

}  // namespace

struct WaylandWindowControl::Impl {
    std::unique_ptr<WaylandConnection> connection;
    std::optional<SwayIpc> sway;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    wl_seat* seat = nullptr;
    std::function<ScreenSize()> screenSize;
    std::string noPlacing;
    std::unique_ptr<WaylandEventNotifier> notifier;
    // In the order they appeared, which is also the order of their numbers.
    std::vector<std::unique_ptr<Toplevel>> toplevels;
    WindowId lastId = 0;
    std::string ownAppId = wayland::ownAppId();

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle) {
        auto* impl = static_cast<Impl*>(data);
        auto toplevel = std::make_unique<Toplevel>();
        toplevel->id = ++impl->lastId;
        toplevel->handle = handle;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, toplevel.get());
        impl->toplevels.push_back(std::move(toplevel));
    }

    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
        static_cast<Impl*>(data)->manager = nullptr;
    }

    // Reads the compositor's news and forgets the windows that closed.
    void sync() {
        connection->roundtrip();
        std::erase_if(toplevels, [](const std::unique_ptr<Toplevel>& toplevel) {
            if (!toplevel->closed) return false;
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
            return true;
        });
    }

    ~Impl() {
        notifier.reset();
        for (const auto& toplevel : toplevels) {
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
        }
        if (manager != nullptr) {
            zwlr_foreign_toplevel_manager_v1_stop(manager);
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        }
        if (seat != nullptr) wl_seat_destroy(seat);
        connection->flush();
    }
};

Expected<std::unique_ptr<WaylandWindowControl>> WaylandWindowControl::open(
    std::unique_ptr<WaylandConnection> connection, std::optional<SwayIpc> sway,
    std::function<ScreenSize()> screenSize, std::string noPlacing) {
    auto manager = connection->bind<zwlr_foreign_toplevel_manager_v1>(
        zwlr_foreign_toplevel_manager_v1_interface, 1, 3);
    if (!manager) return manager.status();
    auto seat = connection->bind<wl_seat>(wl_seat_interface, 1, 1);
    if (!seat) {
        zwlr_foreign_toplevel_manager_v1_destroy(*manager);
        return seat.status();
    }
    auto impl = std::make_unique<Impl>();
    impl->manager = *manager;
    impl->seat = *seat;
    impl->screenSize = std::move(screenSize);
    impl->noPlacing = std::move(noPlacing);
    impl->connection = std::move(connection);
    impl->sway = std::move(sway);
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener{Impl::onToplevel,
                                                                                Impl::onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(impl->manager, &kManagerListener, impl.get());
    impl->notifier = std::make_unique<WaylandEventNotifier>(*impl->connection);
    impl->sync();
    return std::unique_ptr<WaylandWindowControl>(new WaylandWindowControl(std::move(impl)));
}

WaylandWindowControl::WaylandWindowControl(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WaylandWindowControl::~WaylandWindowControl() = default;

WaylandWindowControl::Toplevel* WaylandWindowControl::known(WindowId window) {
    for (const auto& toplevel : impl_->toplevels) {
        if (toplevel->id == window) return toplevel.get();
    }
    return nullptr;
}

WaylandWindowControl::Toplevel* WaylandWindowControl::find(WindowId window) {
    impl_->sync();
    return known(window);
}

std::optional<WindowId> WaylandWindowControl::foreground() {
    impl_->sync();
    for (const auto& toplevel : impl_->toplevels) {
        if (toplevel->activated) return toplevel->id;
    }
    return std::nullopt;
}

bool WaylandWindowControl::isOwnWindow(WindowId window) {
    const Toplevel* toplevel = find(window);
    return toplevel != nullptr && toplevel->appId == impl_->ownAppId;
}

bool WaylandWindowControl::attachInput(WindowId window) {
    return find(window) != nullptr && !isOwnWindow(window);
}

ScreenSize WaylandWindowControl::screenSize() {
    return impl_->screenSize();
}

// Wayland keeps the stacking order to itself: the active window comes first,
// then the others from the newest to the oldest.
std::vector<TopLevelWindow> WaylandWindowControl::topLevelWindows() {
    impl_->sync();
    std::vector<TopLevelWindow> windows;
    for (auto at = impl_->toplevels.rbegin(); at != impl_->toplevels.rend(); ++at) {
        windows.push_back({(*at)->id, (*at)->title, false});
    }
    std::stable_partition(windows.begin(), windows.end(), [&](const TopLevelWindow& window) {
        return known(window.id)->activated;
    });
    return windows;
}

bool WaylandWindowControl::waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
        impl_->sync();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool WaylandWindowControl::setForeground(WindowId window) {
    Toplevel* toplevel = find(window);
    if (toplevel == nullptr || impl_->seat == nullptr) return false;
    zwlr_foreign_toplevel_handle_v1_activate(toplevel->handle, impl_->seat);
    return waitUntil([&] { return known(window) != nullptr && known(window)->activated; });
}

std::optional<SwayWindow> WaylandWindowControl::swayWindowOf(WindowId window) {
    if (!impl_->sway) return std::nullopt;
    impl_->sync();
    Expected<std::vector<SwayWindow>> windows = impl_->sway->windows();
    if (!windows) return std::nullopt;
    std::vector<WindowName> names;
    std::optional<std::size_t> wanted;
    for (const auto& toplevel : impl_->toplevels) {
        if (toplevel->id == window) wanted = names.size();
        names.push_back({toplevel->appId, toplevel->title});
    }
    if (!wanted) return std::nullopt;
    const auto paired = pairWithSwayWindows(names, *windows)[*wanted];
    if (!paired) return std::nullopt;
    return (*windows)[*paired];
}

bool WaylandWindowControl::swayCommand(WindowId window, const std::string& command) {
    const auto sway = swayWindowOf(window);
    return sway &&
           impl_->sway->runCommand("[con_id=" + std::to_string(sway->id) + "] " + command).ok();
}

std::optional<ScreenRect> WaylandWindowControl::rect(WindowId window) {
    const auto sway = swayWindowOf(window);
    if (!sway) return std::nullopt;
    return sway->rect;
}

std::optional<WindowPlacement> WaylandWindowControl::placement(WindowId window) {
    const Toplevel* toplevel = find(window);
    if (toplevel == nullptr) return std::nullopt;
    WindowPlacement placement;
    const bool hiddenBySway = [&] {
        const auto sway = swayWindowOf(window);
        if (sway) placement.normal = sway->rect;
        return sway && sway->hidden;
    }();
    toplevel = find(window);
    if (toplevel == nullptr) return std::nullopt;
    if (toplevel->minimized || hiddenBySway) {
        placement.state = WindowState::Minimized;
    } else if (toplevel->maximized || toplevel->fullscreen) {
        placement.state = WindowState::Maximized;
    }
    return placement;
}

Result WaylandWindowControl::placeable() {
    return impl_->sway ? Result::success() : Result::failure(impl_->noPlacing);
}

// sway tiles windows unless told otherwise; a window given a place of its own
// is taken out of the tiling, as the user who asked for that place expects.
bool WaylandWindowControl::moveResize(WindowId window, const ScreenRect& outer) {
    const long width = std::max(1L, static_cast<long>(outer.right) - outer.left);
    const long height = std::max(1L, static_cast<long>(outer.bottom) - outer.top);
    // Resizing keeps the centre, so the size comes before the position.
    const std::string command = "floating enable, resize set width " + std::to_string(width) +
                                " px height " + std::to_string(height) +
                                " px, move absolute position " + std::to_string(outer.left) + " " +
                                std::to_string(outer.top);
    const auto placed = [&] {
        const auto now = swayWindowOf(window);
        return now && now->rect.left == outer.left && now->rect.top == outer.top &&
               now->rect.right == outer.left + width && now->rect.bottom == outer.top + height;
    };
    // sway shows the new place once the program has drawn itself at the new
    // size, so that what comes next (a read of the rectangle, a click) sees
    // it. A program still answering an older request of sway's (after a
    // change of the tiling) may draw itself at that size a moment later, and
    // sway lets a floating window take the size its program draws: the place
    // is asked for again until it holds. A program that keeps a size of its
    // own stays as it is.
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!swayCommand(window, command)) return false;
        if (waitUntil(placed) && holdsAfterAFrame(placed)) break;
    }
    return true;
}

bool WaylandWindowControl::holdsAfterAFrame(const std::function<bool()>& done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    impl_->sync();
    return done();
}

// sway has no minimised state: its scratchpad is where windows go out of sight.
bool WaylandWindowControl::minimize(Toplevel& toplevel) {
    const WindowId window = toplevel.id;
    if (impl_->sway) {
        return swayCommand(window, "move scratchpad") &&
               waitUntil([&] { return hiddenBySway(window); });
    }
    zwlr_foreign_toplevel_handle_v1_set_minimized(toplevel.handle);
    return waitUntil([&] { return known(window) != nullptr && known(window)->minimized; });
}

bool WaylandWindowControl::hiddenBySway(WindowId window) {
    const auto sway = swayWindowOf(window);
    return sway && sway->hidden;
}

bool WaylandWindowControl::restore(Toplevel& toplevel) {
    const WindowId window = toplevel.id;
    if (toplevel.fullscreen) zwlr_foreign_toplevel_handle_v1_unset_fullscreen(toplevel.handle);
    if (toplevel.maximized) zwlr_foreign_toplevel_handle_v1_unset_maximized(toplevel.handle);
    if (toplevel.minimized) zwlr_foreign_toplevel_handle_v1_unset_minimized(toplevel.handle);
    if (hiddenBySway(window) && !swayCommand(window, "scratchpad show")) return false;
    return waitUntil([&] {
        const Toplevel* now = known(window);
        return now != nullptr && !now->fullscreen && !now->maximized && !now->minimized &&
               !hiddenBySway(window);
    });
}

// sway has no maximised state either; fullscreen is the nearest it offers.
bool WaylandWindowControl::maximize(Toplevel& toplevel) {
    const WindowId window = toplevel.id;
    if (impl_->sway) {
        zwlr_foreign_toplevel_handle_v1_set_fullscreen(toplevel.handle, nullptr);
    } else {
        zwlr_foreign_toplevel_handle_v1_set_maximized(toplevel.handle);
    }
    return waitUntil([&] {
        const Toplevel* now = known(window);
        return now != nullptr && (now->maximized || now->fullscreen);
    });
}

bool WaylandWindowControl::show(WindowId window, ShowCommand command) {
    const auto plan = planOf(command);
    Toplevel* toplevel = find(window);
    if (!plan || toplevel == nullptr) return false;
    switch (plan->target) {
        // Wayland lets no program hide another's window; on sway it goes out
        // of sight in the scratchpad, like a minimised one.
        case ShowTarget::Withdraw: return impl_->sway && minimize(*toplevel);
        case ShowTarget::Iconify: return minimize(*toplevel);
        case ShowTarget::Restore:
            if (!restore(*toplevel)) return false;
            break;
        case ShowTarget::Maximize:
            if (!maximize(*toplevel)) return false;
            break;
        case ShowTarget::AsIs: break;
    }
    toplevel = find(window);
    if (toplevel == nullptr) return false;
    const bool keepsMinimized = plan->target == ShowTarget::AsIs && toplevel->minimized;
    return !plan->activate || keepsMinimized || setForeground(window);
}

}  // namespace ks::wayland
