#include "platform/wayland/WaylandDesktop.h"

#include <algorithm>
#include <functional>

namespace ks::wayland {
namespace {

bool announced(const DesktopOffer& offer, const char* global) {
    return std::find(offer.globals.begin(), offer.globals.end(), global) != offer.globals.end();
}

// Why a capability is missing, as the last part of its refusal's first sentence.
enum class Lack { Protocol, SwayIpc, Bell };

// One row per capability: its name in messages, what it needs, and whether an offer has it.
struct Requirement {
    Capability capability;
    const char* feature;
    const char* needs;
    Lack lack;
    std::function<bool(const DesktopOffer&)> met;
};

const std::vector<Requirement>& requirements() {
    static const std::vector<Requirement> rows{
        {Capability::Typing, "Typing and the key commands",
         "the virtual keyboard protocol (zwp_virtual_keyboard_manager_v1)", Lack::Protocol,
         [](const DesktopOffer& o) { return announced(o, "zwp_virtual_keyboard_manager_v1"); }},
        {Capability::Pointer, "The mouse commands",
         "the virtual pointer protocol (zwlr_virtual_pointer_manager_v1)", Lack::Protocol,
         [](const DesktopOffer& o) { return announced(o, "zwlr_virtual_pointer_manager_v1"); }},
        {Capability::Playback, "Playing recordings",
         "the virtual keyboard and pointer protocols (zwp_virtual_keyboard_manager_v1, "
         "zwlr_virtual_pointer_manager_v1)",
         Lack::Protocol,
         [](const DesktopOffer& o) {
             return announced(o, "zwp_virtual_keyboard_manager_v1") &&
                    announced(o, "zwlr_virtual_pointer_manager_v1");
         }},
        {Capability::Windows, "The window commands",
         "the foreign toplevel protocol (zwlr_foreign_toplevel_manager_v1)", Lack::Protocol,
         [](const DesktopOffer& o) { return announced(o, "zwlr_foreign_toplevel_manager_v1"); }},
        // Places are read and set through sway's IPC, but on the windows the
        // foreign toplevels list: without them there is no window to place.
        {Capability::WindowPlaces, "Window rectangles, MOVE WINDOW and SIZE WINDOW",
         "sway's IPC socket (SWAYSOCK) and the foreign toplevel protocol", Lack::SwayIpc,
         [](const DesktopOffer& o) {
             return o.swayIpc && announced(o, "zwlr_foreign_toplevel_manager_v1");
         }},
        {Capability::Clipboard, "The clipboard commands",
         "the data-control protocol (zwlr_data_control_manager_v1 or "
         "ext_data_control_manager_v1)",
         Lack::Protocol,
         [](const DesktopOffer& o) {
             return announced(o, "zwlr_data_control_manager_v1") ||
                    announced(o, "ext_data_control_manager_v1");
         }},
        {Capability::HotKeys, "Hot keys", "sway's IPC socket (SWAYSOCK)", Lack::SwayIpc,
         [](const DesktopOffer& o) { return o.swayIpc; }},
        // Any compositor: the watches read the kernel's devices, and the first one
        // that finds them unreadable says so when it is needed, not at start.
        {Capability::KeyWatch, "Typed phrases, recording and the Ctrl+Esc cancel key",
         "the keyboard devices (/dev/input/event*)", Lack::Protocol,
         [](const DesktopOffer&) { return true; }},
        {Capability::Sound, "BEEP and the alert sounds", "a bell", Lack::Bell,
         [](const DesktopOffer&) { return false; }},
    };
    return rows;
}

const Requirement& requirementOf(Capability capability) {
    const auto& rows = requirements();
    return *std::find_if(rows.begin(), rows.end(),
                         [&](const Requirement& r) { return r.capability == capability; });
}

// What a user of `family` can do to have the desktop services at all.
std::string sessionAdvice(DesktopFamily family) {
    const std::string xPrograms =
        "start Keystrider with --platform x11 to reach the windows of X programs only";
    switch (family) {
        case DesktopFamily::Gnome:
            return "Log in to a \"GNOME on Xorg\" session to use them, or " + xPrograms + ".";
        case DesktopFamily::Plasma:
            return "Log in to a \"Plasma (X11)\" session to use them, or " + xPrograms + ".";
        case DesktopFamily::Wlroots:
        case DesktopFamily::Other: break;
    }
    return "Use a compositor that offers them (sway, Hyprland, river, labwc, Wayfire) or an X11 "
           "session, or " +
           xPrograms + ".";
}

std::string hotKeyAdvice(DesktopFamily family) {
    const std::string command = " that runs: keystrider MACRONAME";
    switch (family) {
        case DesktopFamily::Gnome:
            return "Add a custom shortcut in Settings > Keyboard > Keyboard Shortcuts" + command +
                   ".";
        case DesktopFamily::Plasma:
            return "Add a custom shortcut in System Settings > Shortcuts" + command + ".";
        case DesktopFamily::Wlroots:
        case DesktopFamily::Other: break;
    }
    return "Bind a key in your compositor's configuration" + command + ".";
}

std::string adviceFor(Capability capability, DesktopFamily family) {
    switch (capability) {
        case Capability::HotKeys: return hotKeyAdvice(family);
        case Capability::Sound: return {};  // nothing to do
        case Capability::WindowPlaces:
            if (family == DesktopFamily::Wlroots || family == DesktopFamily::Other) {
                return "Use sway, or place windows with your compositor's own rules.";
            }
            return sessionAdvice(family);
        default: return sessionAdvice(family);
    }
}

std::string whyMissing(Lack lack, DesktopFamily family) {
    switch (lack) {
        case Lack::Protocol:
            return ", which this desktop (" + familyName(family) + ") does not offer.";
        case Lack::SwayIpc: return ", which only sway has.";
        case Lack::Bell: return ", which Wayland does not give programs.";
    }
    return ".";
}

}  // namespace

const std::vector<Capability>& allCapabilities() {
    static const std::vector<Capability> all = [] {
        std::vector<Capability> capabilities;
        for (const Requirement& row : requirements()) capabilities.push_back(row.capability);
        return capabilities;
    }();
    return all;
}

bool WaylandDesktop::offers(Capability capability) const {
    return std::find(capabilities.begin(), capabilities.end(), capability) != capabilities.end();
}

WaylandDesktop classifyDesktop(const DesktopOffer& offer) {
    WaylandDesktop desktop;
    for (const Requirement& row : requirements()) {
        if (row.met(offer)) desktop.capabilities.push_back(row.capability);
    }
    if (announced(offer, "org_kde_kwin_fake_input") ||
        announced(offer, "org_kde_plasma_window_management")) {
        desktop.family = DesktopFamily::Plasma;
    } else if (announced(offer, "gtk_shell1")) {
        desktop.family = DesktopFamily::Gnome;
    } else if (desktop.offers(Capability::Typing) && desktop.offers(Capability::Pointer) &&
               desktop.offers(Capability::Windows) && desktop.offers(Capability::Clipboard)) {
        desktop.family = DesktopFamily::Wlroots;
    }
    return desktop;
}

std::string familyName(DesktopFamily family) {
    switch (family) {
        case DesktopFamily::Wlroots: return "wlroots family";
        case DesktopFamily::Plasma: return "KDE Plasma";
        case DesktopFamily::Gnome: return "GNOME";
        case DesktopFamily::Other: return "other compositor";
    }
    return "other compositor";
}

namespace {

std::string reasonOf(Capability capability, DesktopFamily family) {
    const Requirement& row = requirementOf(capability);
    return std::string(row.feature) + " need " + row.needs + whyMissing(row.lack, family);
}

}  // namespace

std::string refusalMessage(Capability capability, DesktopFamily family) {
    const std::string advice = adviceFor(capability, family);
    return reasonOf(capability, family) + (advice.empty() ? "" : " " + advice);
}

std::string notStartedMessage(Capability capability, const std::string& error) {
    const std::string feature = requirementOf(capability).feature;
    if (error.empty()) return feature + " are not supported on Wayland by this version.";
    return feature + " could not start: " + error;
}

namespace {

void addOnce(std::vector<std::string>& lines, const std::string& line) {
    if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end()) {
        lines.push_back(line);
    }
}

std::string listed(const std::vector<std::string>& lines) {
    std::string list;
    for (const std::string& line : lines) list += "\n- " + line;
    return list;
}

}  // namespace

std::string startupNotice(DesktopFamily family, const std::vector<RefusedCapability>& refused) {
    if (refused.empty()) return {};
    std::vector<std::string> works{
        "Starting programs and documents, shares, drives, power, the clock, "
        "system values, schedules, peers and the command line"};
    // Capabilities one service serves share its failure: it is said once.
    std::vector<std::string> fails;
    std::vector<std::string> advice;
    for (const Requirement& row : requirements()) {
        const auto found = std::find_if(refused.begin(), refused.end(), [&](const auto& r) {
            return r.capability == row.capability;
        });
        if (found == refused.end()) {
            works.push_back(row.feature);
        } else if (!found->failure.empty()) {
            addOnce(fails, found->failure);
        } else {
            fails.push_back(reasonOf(row.capability, family));
            addOnce(advice, adviceFor(row.capability, family));
        }
    }
    std::string notice = "Keystrider runs on Wayland (" + familyName(family) +
                         ").\n\nWhat works:" + listed(works) +
                         "\n\nWhat does not work:" + listed(fails);
    if (!advice.empty()) notice += "\n\nWhat you can do:" + listed(advice);
    return notice;
}

}  // namespace ks::wayland
