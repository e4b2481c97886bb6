// Other programs' windows on headless sway: foot windows listed, activated,
// minimised, maximised and placed, their rectangles read back through swaymsg.
#include <gtest/gtest.h>

#include "SwayQuery.h"
#include "WaylandSession.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowControl.h"

namespace ks::test {
namespace {

using wayland::SwayIpc;
using wayland::SwayWindow;
using wayland::WaylandConnection;
using wayland::WaylandWindowControl;

// The window as `swaymsg -t get_tree` shows it to anyone.
std::optional<SwayWindow> swaymsgWindow(const WaylandSession& session, const std::string& title) {
    const auto windows = wayland::parseTree(askSway(session, "get_tree").toJson().toStdString());
    if (!windows) return std::nullopt;
    for (const SwayWindow& window : *windows) {
        if (window.title == title) return window;
    }
    return std::nullopt;
}

constexpr const char* kNoPlacing = "No windows placed here.";

std::unique_ptr<WaylandWindowControl> openWindows(const WaylandSession& session, bool withSway) {
    auto connection = WaylandConnection::open(session.socketPath());
    if (!connection) return nullptr;
    std::optional<SwayIpc> sway;
    if (auto ipc = SwayIpc::connect(session.swaySocket()); withSway && ipc) sway = std::move(*ipc);
    const auto screen = [] { return ScreenSize{1280, 720}; };
    auto opened =
        WaylandWindowControl::open(std::move(*connection), std::move(sway), screen, kNoPlacing);
    return opened ? std::move(*opened) : nullptr;
}

// Waits for a window titled `title` to be listed.
std::optional<WindowId> listed(WaylandWindowControl& windows, const std::string& title) {
    std::optional<WindowId> found;
    eventually([&] {
        for (const TopLevelWindow& window : windows.topLevelWindows()) {
            if (window.title == title) found = window.id;
        }
        return found.has_value();
    });
    return found;
}

TEST(WaylandWindowsTest, FootWindowsAreListedActivatedShownAndPlacedWhereSwaysSocketIsKnown) {
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    session.startClient({"foot", "-T", "first window", "cat"});
    const auto windows = openWindows(session, true);
    ASSERT_TRUE(windows);
    const std::optional<WindowId> first = listed(*windows, "first window");
    ASSERT_TRUE(first);
    session.startClient({"foot", "-T", "second window", "cat"});
    const std::optional<WindowId> second = listed(*windows, "second window");
    ASSERT_TRUE(second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(windows->attachInput(*first));
    ASSERT_TRUE(eventually([&] { return windows->foreground() == second; }));

    EXPECT_TRUE(windows->setForeground(*first));
    EXPECT_EQ(windows->foreground(), first);
    EXPECT_EQ(windows->topLevelWindows().front().id, *first);

    // A tiled window is taken out of the tiling to be placed.
    ASSERT_TRUE(windows->placeable());
    const ScreenRect wanted{100, 50, 600, 450};
    ASSERT_TRUE(windows->moveResize(*first, wanted));
    const auto same = [](const std::optional<ScreenRect>& a, const ScreenRect& b) {
        return a && a->left == b.left && a->top == b.top && a->right == b.right &&
               a->bottom == b.bottom;
    };
    // A foot that has just started may still draw a frame at its old size,
    // which sway follows for a moment.
    std::optional<SwayWindow> placed;
    EXPECT_TRUE(eventually([&] {
        placed = swaymsgWindow(session, "first window");
        return placed && same(placed->rect, wanted);
    }));
    EXPECT_TRUE(same(windows->rect(*first), wanted));

    const auto stateOf = [&](WindowId window) { return windows->placement(window)->state; };
    EXPECT_TRUE(windows->show(*first, ShowCommand::ShowMinimized));
    EXPECT_EQ(stateOf(*first), WindowState::Minimized);
    EXPECT_TRUE(listed(*windows, "first window"));
    EXPECT_TRUE(windows->show(*first, ShowCommand::Restore));
    EXPECT_EQ(stateOf(*first), WindowState::Normal);
    EXPECT_EQ(windows->foreground(), first);
    EXPECT_TRUE(windows->show(*second, ShowCommand::ShowMaximized));
    EXPECT_EQ(stateOf(*second), WindowState::Maximized);
    EXPECT_EQ(windows->foreground(), second);

    // Without sway's socket the windows are listed but not placed.
    const auto unplaced = openWindows(session, false);
    ASSERT_TRUE(unplaced);
    const std::optional<WindowId> window = listed(*unplaced, "second window");
    ASSERT_TRUE(window);
    EXPECT_EQ(unplaced->placeable().error(), kNoPlacing);
    EXPECT_FALSE(unplaced->rect(*window));
    EXPECT_FALSE(unplaced->moveResize(*window, {0, 0, 100, 100}));
}

}  // namespace
}  // namespace ks::test
