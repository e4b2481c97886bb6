// The program's own connection to a compositor.
#include <gtest/gtest.h>

#include <wayland-client.h>

#include "WaylandSession.h"
#include "platform/wayland/WaylandConnection.h"

namespace ks::test {
namespace {

using wayland::WaylandConnection;

TEST(WaylandConnectionTest, BindsAtTheVersionBothSidesKnowAndRefusesAnAbsentGlobal) {
    WaylandSession session(WaylandSession::Compositor::Weston);
    KS_SKIP_WITHOUT(session);
    auto connection = WaylandConnection::open(session.socketPath());
    ASSERT_TRUE(connection) << connection.error();
    // weston 10 offers wl_output 3, this libwayland knows 4.
    auto output = (*connection)->bind<wl_output>(wl_output_interface, 1, 4);
    ASSERT_TRUE(output) << output.error();
    EXPECT_EQ(wl_output_get_version(*output), 3u);
    wl_output_destroy(*output);
    const wl_interface absent{"zwp_virtual_keyboard_manager_v1", 1, 0, nullptr, 0, nullptr};
    const auto refused = (*connection)->bind(absent, 1, 1);
    EXPECT_EQ(refused.error(), "The compositor offers no zwp_virtual_keyboard_manager_v1.");
}

}  // namespace
}  // namespace ks::test
