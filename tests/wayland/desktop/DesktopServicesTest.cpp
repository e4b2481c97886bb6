// The platform's default builders plug this part's services in on sway.
#include <gtest/gtest.h>

#include "WaylandSession.h"
#include "platform/wayland/WaylandPlatform.h"

namespace ks::test {
namespace {

TEST(DesktopServicesTest, OnSwayThePlatformGivesWindowsClipboardAndHotKeys) {
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    session.startClient({"foot", "-T", "listed", "cat"});
    auto platform = wayland::WaylandPlatform::open({session.socketPath(), session.swaySocket()});
    ASSERT_TRUE(platform) << platform.error();
    WindowControl& windows = (*platform)->windows();
    EXPECT_TRUE(eventually([&] {
        const auto listed = windows.topLevelWindows();
        return !listed.empty() && listed.front().title == "listed";
    }));
    EXPECT_TRUE(windows.placeable());
    ASSERT_TRUE((*platform)->clipboard().offer(kClipboardText, {'x'}));
    EXPECT_EQ((*platform)->clipboard().data(kClipboardText), Bytes{'x'});
    EXPECT_TRUE((*platform)->hotKeys().registerHotKey(1, kModControl | kModAlt, 'K'));
    for (const wayland::RefusedCapability& refused : (*platform)->refused()) {
        EXPECT_NE(refused.capability, wayland::Capability::Windows);
        EXPECT_NE(refused.capability, wayland::Capability::WindowPlaces);
        EXPECT_NE(refused.capability, wayland::Capability::Clipboard);
        EXPECT_NE(refused.capability, wayland::Capability::HotKeys);
    }
}

}  // namespace
}  // namespace ks::test
