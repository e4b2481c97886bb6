// Other programs' windows on headless sway: foot windows listed, activated,
// minimised, maximised and placed, their rectangles read back through swaymsg.
#include <gtest/gtest.h>

#include <cstdio>

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

std::string commandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char chunk[4096];
    while (std::size_t got = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
    pclose(pipe);
    return output;
}

// The window as `swaymsg -t get_tree` shows it to anyone.
std::optional<SwayWindow> swaymsgWindow(const WaylandSession& session, const std::string& title) {
    const auto windows =
        wayland::parseTree(commandOutput("swaymsg -s " + session.swaySocket() + " -t get_tree"));
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
    if (withSway) {
        auto ipc = SwayIpc::connect(session.swaySocket());
        if (!ipc) return nullptr;
        sway = std::move(*ipc);
    }
    auto opened = WaylandWindowControl::open(
        std::move(*connection), std::move(sway),
        [] {
            return ScreenSize{1280, 720};
        },
        kNoPlacing);
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

class WaylandWindowsTest : public ::testing::Test {
protected:
    // Starts foot with the title `title` and the window control; foot's window.
    std::optional<WindowId> startWith(const std::string& title, bool withSway) {
        session.startClient({"foot", "-T", title, "cat"});
        windows = openWindows(session, withSway);
        return windows ? listed(*windows, title) : std::nullopt;
    }

    WaylandSession session;
    std::unique_ptr<WaylandWindowControl> windows;
};

TEST_F(WaylandWindowsTest, FootWindowsAreListedActivatedShownAndPlaced) {
    KS_SKIP_WITHOUT(session);
    const std::optional<WindowId> first = startWith("first window", true);
    ASSERT_TRUE(first);
    session.startClient({"foot", "-T", "second window", "cat"});
    const std::optional<WindowId> second = listed(*windows, "second window");
    ASSERT_TRUE(second);
    EXPECT_NE(*first, *second);
    EXPECT_FALSE(windows->isOwnWindow(*first));
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
    EXPECT_TRUE(placed && placed->floating);
    EXPECT_TRUE(same(windows->rect(*first), wanted));

    const auto stateOf = [&](WindowId window) { return windows->placement(window)->state; };
    EXPECT_EQ(stateOf(*first), WindowState::Normal);
    EXPECT_TRUE(windows->show(*first, ShowCommand::ShowMinimized));
    EXPECT_EQ(stateOf(*first), WindowState::Minimized);
    EXPECT_TRUE(listed(*windows, "first window"));
    EXPECT_TRUE(windows->show(*first, ShowCommand::Restore));
    EXPECT_EQ(stateOf(*first), WindowState::Normal);
    EXPECT_EQ(windows->foreground(), first);
    EXPECT_TRUE(windows->show(*second, ShowCommand::ShowMaximized));
    EXPECT_EQ(stateOf(*second), WindowState::Maximized);
    EXPECT_EQ(windows->foreground(), second);
}

TEST_F(WaylandWindowsTest, WithoutSwaysSocketWindowsAreListedButNotPlaced) {
    KS_SKIP_WITHOUT(session);
    const std::optional<WindowId> window = startWith("the window", false);
    ASSERT_TRUE(window);
    EXPECT_EQ(windows->placeable().error(), kNoPlacing);
    EXPECT_FALSE(windows->rect(*window));
    EXPECT_FALSE(windows->moveResize(*window, {0, 0, 100, 100}));
}

}  // namespace
}  // namespace ks::test
