#pragma once

#include "core/Result.h"
#include "platform/ScreenSize.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ks {

using WindowId = std::uint64_t;

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A top-level window as a window list shows it.
struct TopLevelWindow {
    WindowId id = 0;
    std::string title;     // as the window names itself, UTF-8; may be empty
    bool taskBar = false;  // a panel or dock of the desktop
};

// Show commands of the window-activation routine, numbered as they are stored.
enum class ShowCommand : int {
    Hide = 0,
    ShowNormal = 1,
    ShowMinimized = 2,
    ShowMaximized = 3,
    ShowNoActivate = 4,
    Show = 5,
    Minimize = 6,
    ShowMinNoActive = 7,
    ShowNA = 8,
    Restore = 9,
    ShowDefault = 10,
    ForceMinimize = 11,
};

enum class WindowState { Hidden, Normal, Minimized, Maximized };

// Where a window is and in which state; `normal` is its outer rectangle,
// which for a minimised or maximised window is the one it has now, as X
// keeps no restored rectangle.
struct WindowPlacement {
    WindowState state = WindowState::Normal;
    ScreenRect normal;
};

// The desktop's top-level windows as the input commands need them: which one
// has the focus, where it is, and bringing one to the front.
class WindowControl {
public:
    WindowControl() = default;
    WindowControl(const WindowControl&) = delete;
    WindowControl& operator=(const WindowControl&) = delete;
    virtual ~WindowControl() = default;

    virtual std::optional<WindowId> foreground() = 0;
    // A window of this program itself.
    virtual bool isOwnWindow(WindowId window) = 0;
    virtual bool isDesktop(WindowId window) = 0;

    // Joins this program's input state to the window's, to read its keyboard
    // state and position. Refused for the program's own windows, the desktop
    // and windows that are gone. Every successful attach is paired with a detach.
    virtual bool attachInput(WindowId window) = 0;
    virtual void detachInput(WindowId window) = 0;

    // The window's outer rectangle (frame included) in screen pixels.
    virtual std::optional<ScreenRect> rect(WindowId window) = 0;
    virtual ScreenSize screenSize() = 0;

    // The visible top-level windows (minimised ones included), topmost first.
    virtual std::vector<TopLevelWindow> topLevelWindows() = 0;
    // For a caller that looks at the visible list often: while the handle
    // lives, reading the list again costs next to nothing when it has not
    // changed.
    virtual std::shared_ptr<void> watchTopLevelWindows() { return nullptr; }

    virtual bool setForeground(WindowId window) = 0;
    // False only when the window could not be given that state.
    virtual bool show(WindowId window, ShowCommand command) = 0;

    // Every top-level window whose placement can be read, hidden ones
    // included, topmost first. A desktop that cannot tell lists the visible ones.
    virtual std::vector<TopLevelWindow> allTopLevelWindows() { return topLevelWindows(); }
    virtual std::optional<WindowPlacement> placement(WindowId) { return std::nullopt; }
    // Moves and sizes a window to the outer rectangle `outer` (frame included).
    virtual bool moveResize(WindowId, const ScreenRect&) { return false; }
    // Whether this desktop lets a program move and size other programs'
    // windows at all; a failure says why and what the user can do instead.
    virtual Result placeable() { return Result::success(); }
};

}  // namespace ks
