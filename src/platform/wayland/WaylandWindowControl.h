#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/WindowControl.h"
#include "platform/wayland/SwayIpc.h"

struct zwlr_foreign_toplevel_handle_v1;

namespace ks::wayland {

class WaylandConnection;

// Other programs' top-level windows through the foreign-toplevel protocol of
// wlroots desktops: titles, app ids and states; activating, minimising,
// maximising. The protocol gives no positions: on sway they are read and set
// through its IPC socket, elsewhere MOVE and SIZE are refused.
//
// Windows have no numbers on Wayland: each gets one of its own when it
// appears, never given again while the program runs. There is no desktop
// window, and no input to attach to: attaching succeeds for every window
// still there that is not the program's own (its app id is the program's).
class WaylandWindowControl final : public WindowControl {
public:
    // Fails when the compositor offers no foreign-toplevel manager. `sway`
    // is sway's IPC where there is one; `screenSize` gives the size of the
    // output layout that the pointer's coordinates span; without sway, MOVE
    // and SIZE WINDOW are refused with `noPlacing`.
    static Expected<std::unique_ptr<WaylandWindowControl>> open(
        std::unique_ptr<WaylandConnection> connection, std::optional<SwayIpc> sway,
        std::function<ScreenSize()> screenSize, std::string noPlacing);
    ~WaylandWindowControl() override;

    std::optional<WindowId> foreground() override;
    bool isOwnWindow(WindowId window) override;
    bool isDesktop(WindowId) override { return false; }
    bool attachInput(WindowId window) override;
    void detachInput(WindowId) override {}
    std::optional<ScreenRect> rect(WindowId window) override;
    ScreenSize screenSize() override;
    std::vector<TopLevelWindow> topLevelWindows() override;
    bool setForeground(WindowId window) override;
    bool show(WindowId window, ShowCommand command) override;
    std::optional<WindowPlacement> placement(WindowId window) override;
    bool moveResize(WindowId window, const ScreenRect& outer) override;
    Result placeable() override;

    struct Toplevel;

private:
    struct Impl;
    explicit WaylandWindowControl(std::unique_ptr<Impl> impl);

    // The window's entry after the compositor's latest news; null when gone.
    Toplevel* find(WindowId window);
    // The same without asking the compositor for news.
    Toplevel* known(WindowId window);
    std::optional<SwayWindow> swayWindowOf(WindowId window);
    bool swayCommand(WindowId window, const std::string& command);
    // In sway's scratchpad, sway's place for windows out of sight.
    bool hiddenBySway(WindowId window);
    bool minimize(Toplevel& toplevel);
    bool restore(Toplevel& toplevel);
    bool maximize(Toplevel& toplevel);
    // Reads the compositor's news until `done` holds, for up to a second.
    bool waitUntil(const std::function<bool()>& done);
    // Whether `done` still holds a few frames later.
    bool holdsAfterAFrame(const std::function<bool()>& done);

    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::wayland
