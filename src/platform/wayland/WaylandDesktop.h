#pragma once

#include <string>
#include <vector>

namespace ks::wayland {

// The desktop families whose Wayland compositors differ in what they let a
// program do, known by the globals they announce, never by their names.
enum class DesktopFamily {
    Wlroots,  // sway, Hyprland, river, labwc, Wayfire: the wlroots protocols
    Plasma,   // KWin: its own fake-input and window-management protocols
    Gnome,    // mutter: none of these
    Other,    // anything else (weston)
};

// What the program does on a desktop, each needing a protocol or a right of
// its own on Wayland.
enum class Capability {
    Typing,        // SEND KEYS, the key and lock commands, spare keys
    Pointer,       // the mouse commands
    Playback,      // playing recordings
    Windows,       // the window commands: list, wait for, activate, show
    WindowPlaces,  // a window's rectangle, MOVE and SIZE
    Clipboard,     // the clipboard commands, in the background
    HotKeys,
    KeyWatch,  // typed phrases, recording and the Ctrl+Esc cancel key
    Sound,     // BEEP and the alert sounds
};

// Every capability, in the order the program's notices list them.
const std::vector<Capability>& allCapabilities();

// What the compositor and the session give: the names of the announced
// globals, whether sway's IPC socket is there, whether the keyboard devices
// can be read.
struct DesktopOffer {
    std::vector<std::string> globals;
    bool swayIpc = false;
    bool inputDevices = false;
};

struct WaylandDesktop {
    DesktopFamily family = DesktopFamily::Other;
    std::vector<Capability> capabilities;  // what the offer allows
    bool offers(Capability capability) const;
};

WaylandDesktop classifyDesktop(const DesktopOffer& offer);

// "wlroots family", "KDE Plasma", "GNOME", "other compositor".
std::string familyName(DesktopFamily family);

// The refusal of a capability the desktop lacks: what is missing and what
// the user can do.
std::string refusalMessage(Capability capability, DesktopFamily family);

// The refusal of a capability the desktop offers but the program could not
// use: `error` says why, or is empty where this backend has no part for it.
std::string notStartedMessage(Capability capability, const std::string& error);

// A capability the program cannot use here: the desktop lacks it (no
// `failure`), or its part could not start (`failure` says why).
struct RefusedCapability {
    Capability capability;
    std::string failure;
    bool operator==(const RefusedCapability&) const = default;
};

// Said once at start on a desktop that lacks something: what works, what
// does not and why, and what the user can do; empty when nothing is refused.
std::string startupNotice(DesktopFamily family, const std::vector<RefusedCapability>& refused);

}  // namespace ks::wayland
