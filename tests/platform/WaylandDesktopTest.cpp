// The desktop told by the globals its compositor announces, and what the program says about it.
#include <gtest/gtest.h>

#include "platform/PlatformFactory.h"
#include "platform/wayland/WaylandDesktop.h"

namespace ks::test {
namespace {

using namespace wayland;
using enum Capability;

// Enough of each compositor's announcement to tell it; every one has these.
std::vector<std::string> with(std::vector<std::string> globals) {
    for (const char* common : {"wl_compositor", "wl_seat", "wl_output", "xdg_wm_base"}) {
        globals.push_back(common);
    }
    return globals;
}

TEST(WaylandDesktopTest, TheGlobalsOfferedTellTheFamilyAndTheCapabilities) {
    const std::vector<std::string> wlroots{
        "zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1",
        "zwlr_foreign_toplevel_manager_v1", "zwlr_data_control_manager_v1"};
    const struct {
        const char* name;
        DesktopOffer offer;
        DesktopFamily family;
        std::vector<Capability> capabilities;
    } cases[] = {
        {"sway",
         {with(wlroots), true, true},
         DesktopFamily::Wlroots,
         {Typing, Pointer, Playback, Windows, WindowPlaces, Clipboard, HotKeys, KeyWatch}},
        {"newer wlroots, ext data control only",
         {with({"zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1",
                "zwlr_foreign_toplevel_manager_v1", "ext_data_control_manager_v1"}),
          false, false},
         DesktopFamily::Wlroots,
         {Typing, Pointer, Playback, Windows, Clipboard}},
        {"keyboard only",
         {with({"zwp_virtual_keyboard_manager_v1"}), false, false},
         DesktopFamily::Other,
         {Typing}},
        {"KDE Plasma",
         {with({"org_kde_kwin_fake_input", "org_kde_plasma_window_management",
                "zwp_virtual_keyboard_manager_v1"}),
          false, true},
         DesktopFamily::Plasma,
         {Typing, KeyWatch}},
        {"GNOME",
         {with({"gtk_shell1", "zwp_text_input_manager_v3"}), false, false},
         DesktopFamily::Gnome,
         {}},
        {"weston",
         {with({"weston_desktop_shell", "zwp_text_input_manager_v1"}), false, false},
         DesktopFamily::Other,
         {}},
    };
    for (const auto& c : cases) {
        const WaylandDesktop desktop = classifyDesktop(c.offer);
        EXPECT_EQ(desktop.family, c.family) << c.name;
        EXPECT_EQ(desktop.capabilities, c.capabilities) << c.name;
    }
}

// Each refusal names what is missing and what to do, and the notice groups the advice.
TEST(WaylandDesktopTest, TheNoticeSaysWhatWorksWhatNotAndWhatToDoOnce) {
    EXPECT_EQ(refusalMessage(HotKeys, DesktopFamily::Gnome),
              "Hot keys need sway's IPC socket (SWAYSOCK), which only sway has. Add a custom "
              "shortcut in Settings > Keyboard > Keyboard Shortcuts that runs: keystrider "
              "MACRONAME.");
    EXPECT_EQ(startupNotice(DesktopFamily::Wlroots, {}), "");
    EXPECT_EQ(
        startupNotice(DesktopFamily::Plasma, {{Typing, ""}, {Clipboard, ""}, {Sound, ""}}),
        "Keystrider runs on Wayland (KDE Plasma).\n\nWhat works:\n- Starting programs and "
        "documents, shares, drives, power, the clock, system values, schedules, peers and the "
        "command line\n- The mouse commands\n- Playing recordings\n- The window commands\n- "
        "Window rectangles, MOVE WINDOW and SIZE WINDOW\n- Hot keys\n- Typed phrases, recording "
        "and the Ctrl+Esc cancel key\n\nWhat does not work:\n- Typing and the key commands need "
        "the virtual keyboard protocol (zwp_virtual_keyboard_manager_v1), which this desktop (KDE "
        "Plasma) does not offer.\n- The clipboard commands need the data-control protocol "
        "(zwlr_data_control_manager_v1 or ext_data_control_manager_v1), which this desktop (KDE "
        "Plasma) does not offer.\n- BEEP and the alert sounds need a bell, which Wayland does not "
        "give programs.\n\nWhat you can do:\n- Log in to a \"Plasma (X11)\" session to use them, "
        "or start Keystrider with --platform x11 to reach the windows of X programs only.");
}

TEST(PlatformFactoryTest, WaylandWhenTheSessionSaysSoUnlessTheUserChoseOtherwise) {
    const struct {
        const char* waylandDisplay;
        const char* sessionType;
        PlatformKind session;
    } sessions[] = {
        {nullptr, nullptr, PlatformKind::X11},         {"", "x11", PlatformKind::X11},
        {"wayland-0", nullptr, PlatformKind::Wayland}, {"", "wayland", PlatformKind::Wayland},
        {"wayland-1", "x11", PlatformKind::Wayland},   {nullptr, "tty", PlatformKind::X11},
    };
    for (const auto& s : sessions) {
        EXPECT_EQ(sessionPlatformKind(s.waylandDisplay, s.sessionType), s.session)
            << (s.waylandDisplay ? s.waylandDisplay : "-") << " "
            << (s.sessionType ? s.sessionType : "-");
    }
    const auto x11 = PlatformKind::X11;
    const auto wayland = PlatformKind::Wayland;
    EXPECT_EQ(choosePlatformKind(x11, wayland, wayland), x11);
    EXPECT_EQ(choosePlatformKind(std::nullopt, x11, wayland), x11);
    EXPECT_EQ(choosePlatformKind(std::nullopt, std::nullopt, wayland), wayland);
}

}  // namespace
}  // namespace ks::test
