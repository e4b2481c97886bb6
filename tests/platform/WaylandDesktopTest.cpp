// The desktop told by the globals its compositor announces, and what the program says about it.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/PlatformFactory.h"
#include "platform/wayland/WaylandDesktop.h"

namespace ks::test {
namespace {

using namespace wayland;
using enum Capability;

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
         {wlroots, true},
         DesktopFamily::Wlroots,
         {Typing, Pointer, Playback, Windows, WindowPlaces, Clipboard, HotKeys, KeyWatch}},
        {"newer wlroots, ext data control only",
         {{"zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1",
           "zwlr_foreign_toplevel_manager_v1", "ext_data_control_manager_v1"},
          false},
         DesktopFamily::Wlroots,
         {Typing, Pointer, Playback, Windows, Clipboard, KeyWatch}},
        {"keyboard and sway's IPC, no window list",
         {{"zwp_virtual_keyboard_manager_v1"}, true},
         DesktopFamily::Other,
         {Typing, HotKeys, KeyWatch}},
        {"KDE Plasma",
         {{"org_kde_kwin_fake_input", "org_kde_plasma_window_management",
           "zwp_virtual_keyboard_manager_v1"},
          false},
         DesktopFamily::Plasma,
         {Typing, KeyWatch}},
        {"GNOME",
         {{"gtk_shell1", "zwp_text_input_manager_v3"}, false},
         DesktopFamily::Gnome,
         {KeyWatch}},
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
    const std::string notice =
        startupNotice(DesktopFamily::Plasma, {{Typing, ""}, {Clipboard, ""}, {Sound, ""}});
    const auto works = notice.find("What works:"), fails = notice.find("What does not work:");
    EXPECT_LT(works, notice.find("\n- The mouse commands\n")) << notice;
    EXPECT_LT(fails, notice.find("\n- The clipboard commands need the data-control")) << notice;
    EXPECT_GT(notice.find("The clipboard"), fails) << "listed as working: " << notice;
    const auto once = [](const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos && text.find(part) == text.rfind(part);
    };
    EXPECT_TRUE(once(notice, "\n- Log in to a \"Plasma (X11)\" session")) << notice;
    const std::string unbuilt = "The window commands could not start: no seat";
    EXPECT_TRUE(
        once(startupNotice(DesktopFamily::Wlroots, {{Windows, unbuilt}, {WindowPlaces, unbuilt}}),
             unbuilt));
}

TEST(PlatformFactoryTest, WaylandWhenTheSessionSaysSoUnlessTheUserChoseOtherwise) {
    constexpr auto x11 = PlatformKind::X11, wayland = PlatformKind::Wayland;
    const std::tuple<const char*, const char*, PlatformKind> sessions[] = {
        {nullptr, nullptr, x11},         {"", "x11", x11},
        {"wayland-0", nullptr, wayland}, {"", "wayland", wayland},
        {"wayland-1", "x11", wayland},   {nullptr, "tty", x11}};
    for (const auto& [display, type, kind] : sessions) {
        EXPECT_EQ(sessionPlatformKind(display, type), kind) << (display ? display : "-");
    }
    EXPECT_EQ(choosePlatformKind(x11, wayland, wayland), x11);
    EXPECT_EQ(choosePlatformKind(std::nullopt, x11, wayland), x11);
    EXPECT_EQ(choosePlatformKind(std::nullopt, std::nullopt, wayland), wayland);
}

}  // namespace
}  // namespace ks::test
