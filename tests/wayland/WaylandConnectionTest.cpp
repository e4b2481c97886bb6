// The program's own connection to a compositor, and what each test compositor offers.
#include <gtest/gtest.h>

#include <wayland-client.h>

#include "WaylandSession.h"
#include "platform/wayland/WaylandConnection.h"

namespace ks::test {
namespace {

using wayland::WaylandConnection;

constexpr const char* kWlrootsGlobals[] = {
    "zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1",
    "zwlr_foreign_toplevel_manager_v1", "zwlr_data_control_manager_v1"};

TEST(WaylandConnectionTest, SwayOffersTheWlrootsProtocolsAndWestonNoneOfThem) {
    for (const auto compositor :
         {WaylandSession::Compositor::Sway, WaylandSession::Compositor::Weston}) {
        WaylandSession session(compositor);
        KS_SKIP_WITHOUT(session);
        auto connection = WaylandConnection::open(session.socketPath());
        ASSERT_TRUE(connection) << connection.error();
        ASSERT_TRUE((*connection)->offers("wl_compositor"));
        for (const char* name : kWlrootsGlobals) {
            EXPECT_EQ((*connection)->offers(name), compositor == WaylandSession::Compositor::Sway)
                << name;
        }
    }
}

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
    EXPECT_FALSE((*connection)->bind(wl_output_interface, 4, 4));
    const wl_interface absent{"zwp_virtual_keyboard_manager_v1", 1, 0, nullptr, 0, nullptr};
    const auto refused = (*connection)->bind(absent, 1, 1);
    EXPECT_EQ(refused.error(), "The compositor offers no zwp_virtual_keyboard_manager_v1.");
    EXPECT_TRUE((*connection)->roundtrip());
}

TEST(WaylandConnectionTest, AMissingCompositorIsAnErrorNamingTheSocket) {
    const auto connection = WaylandConnection::open("/nonexistent/wayland-9");
    ASSERT_FALSE(connection);
    EXPECT_NE(connection.error().find("/nonexistent/wayland-9"), std::string::npos);
}

}  // namespace
}  // namespace ks::test
