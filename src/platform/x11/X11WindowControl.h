#pragma once

#include "platform/WindowControl.h"
#include "platform/x11/WindowListWatch.h"
#include "platform/x11/XConnection.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

namespace ks::x11 {

// Top-level windows through EWMH where a window manager provides it, the
// core protocol otherwise. Attaching input has no X11 counterpart: it
// succeeds except for this program's own windows, the desktop and windows
// that are gone.
class X11WindowControl final : public WindowControl {
public:
    explicit X11WindowControl(XConnection& connection) : connection_(connection) {}

    std::optional<WindowId> foreground() override;
    bool isOwnWindow(WindowId window) override;
    bool isDesktop(WindowId window) override;
    bool attachInput(WindowId window) override;
    void detachInput(WindowId window) override;
    std::optional<ScreenRect> rect(WindowId window) override;
    ScreenSize screenSize() override;
    std::vector<TopLevelWindow> topLevelWindows() override;
    std::shared_ptr<void> watchTopLevelWindows() override;
    bool setForeground(WindowId window) override;
    bool show(WindowId window, ShowCommand command) override;
    std::vector<TopLevelWindow> allTopLevelWindows() override;
    std::optional<WindowPlacement> placement(WindowId window) override;
    bool moveResize(WindowId window, const ScreenRect& outer) override;

private:
    bool exists(WindowId window);
    std::string title(WindowId window);
    bool hasType(WindowId window, const char* typeName);
    bool managerSupports(const char* atomName);
    void sendToManager(WindowId window, const char* messageType, const long (&data)[5]);
    TopLevelWindow describe(WindowId window);
    // Whether _NET_WM_STATE holds any of `names`.
    bool hasState(WindowId window, std::initializer_list<const char*> names);
    bool hasManager();
    void setMaximized(WindowId window, bool on);
    void mapHidden(WindowId window, bool activate, bool iconic);
    void deiconify(WindowId window, bool activate);
    // Polls `done` for up to a second.
    bool waitUntil(const std::function<bool()>& done);
    bool managed(WindowId window);

    XConnection& connection_;
    // The visible list as last read, and, while someone keeps it, what tells
    // when to read it again. Only a kept watch has its events read: one left
    // on its own would pile them up in the server.
    std::weak_ptr<WindowListWatch> watch_;
    std::vector<TopLevelWindow> visible_;
};

}  // namespace ks::x11
