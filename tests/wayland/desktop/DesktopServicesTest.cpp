// The platform's default builders plug this part's services in on sway.
#include <gtest/gtest.h>

#include "WaylandSession.h"
#include "platform/wayland/WaylandPlatform.h"

namespace ks::test {
namespace {

TEST(DesktopServicesTest, OnSwayThePlatformGivesWindowsClipboardAndHotKeys) {
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    auto platform = wayland::WaylandPlatform::open({session.socketPath(), session.swaySocket()});
    ASSERT_TRUE(platform) << platform.error();
    EXPECT_TRUE((*platform)->windows().placeable());
    ASSERT_TRUE((*platform)->clipboard().offer(kClipboardText, {'x'}));
    EXPECT_EQ((*platform)->clipboard().data(kClipboardText), Bytes{'x'});
    EXPECT_TRUE((*platform)->hotKeys().registerHotKey(1, kModControl | kModAlt, 'K'));
    using enum wayland::Capability;
    for (const wayland::RefusedCapability& refused : (*platform)->refused()) {
        for (const auto mine : {Windows, WindowPlaces, Clipboard, HotKeys}) {
            EXPECT_NE(refused.capability, mine) << refused.failure;
        }
    }
}

}  // namespace
}  // namespace ks::test
