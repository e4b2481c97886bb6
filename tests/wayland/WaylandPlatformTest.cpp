// The Wayland platform's services: the refusals where the compositor lacks a protocol, the
// parts' builders where it has one; and its own connection to the compositor.
#include <gtest/gtest.h>

#include <wayland-client.h>

#include "QtTestLoop.h"
#include "RecordingInput.h"
#include "WaylandSession.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPlatform.h"

namespace ks::test {
namespace {

using namespace wayland;
using enum Capability;

std::unique_ptr<WaylandPlatform> openOn(const WaylandSession& session,
                                        WaylandServiceBuilders builders = {}) {
    testApplication();
    auto opened =
        WaylandPlatform::open({session.socketPath(), session.swaySocket()}, std::move(builders));
    if (!opened) throw std::runtime_error(opened.error());
    return std::move(*opened);
}

// weston offers none of the protocols: every desktop service refuses, saying why and what to do.
TEST(WaylandPlatformTest, OnWestonEveryDesktopServiceRefusesWithItsReason) {
    WaylandSession session(WaylandSession::Compositor::Weston);
    KS_SKIP_WITHOUT(session);
    // The connection binds at the version both sides know: weston 10 offers
    // wl_output 3, this libwayland knows 4.
    auto connection = WaylandConnection::open(session.socketPath());
    ASSERT_TRUE(connection) << connection.error();
    auto output = (*connection)->bind<wl_output>(wl_output_interface, 1, 4);
    ASSERT_TRUE(output) << output.error();
    EXPECT_EQ(wl_output_get_version(*output), 3u);
    wl_output_destroy(*output);
    const wl_interface absent{"zwp_virtual_keyboard_manager_v1", 1, 0, nullptr, 0, nullptr};
    EXPECT_EQ((*connection)->bind(absent, 1, 1).error(),
              "The compositor offers no zwp_virtual_keyboard_manager_v1.");

    const auto platform = openOn(session);
    const auto family = DesktopFamily::Other;
    EXPECT_EQ(platform->desktop().family, family);
    EXPECT_EQ(platform->spareKeys().bind({U'€'}).error(), refusalMessage(Typing, family));
    EXPECT_EQ(platform->hotKeys().registerHotKey(1, kModControl, 'K').error(),
              refusalMessage(HotKeys, family));
    EXPECT_FALSE(platform->injector().available());
    EXPECT_FALSE(platform->playbackThread().available());
    EXPECT_EQ(platform->clipboard().formats(), std::nullopt);
    EXPECT_FALSE(platform->clipboard().offer(kClipboardText, {'x'}));
    EXPECT_TRUE(platform->windows().topLevelWindows().empty());
    EXPECT_FALSE(platform->capture().start({}, {}));
    EXPECT_FALSE(platform->playbackCancelWatch().start({}));
    EXPECT_FALSE(platform->makeKeyWatch()->start({}));
    // The desktop lacks each, but for the device watches, which need no protocol
    // and have no part here.
    for (const RefusedCapability& refused : platform->refused()) {
        EXPECT_EQ(refused.failure.empty(), refused.capability != KeyWatch);
    }
    EXPECT_EQ(platform->refused().size(), allCapabilities().size());
    // Key names still follow a layout.
    EXPECT_EQ(platform->keymap().layout()->VkKeyScan(U'a'), 'A');
}

// On sway each part's builder is asked where its protocol is offered; a failing one refuses.
TEST(WaylandPlatformTest, OnSwayThePartsBuildersGiveTheServicesOrTheirFailure) {
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    WaylandServiceBuilders builders;
    RecordingInjector* injector = nullptr;
    builders.injector = [&](BuildContext& context) -> Expected<std::unique_ptr<InputInjector>> {
        EXPECT_TRUE(context.connection.offers("zwp_virtual_keyboard_manager_v1"));
        auto made = std::make_unique<RecordingInjector>();
        injector = made.get();
        return std::unique_ptr<InputInjector>(std::move(made));
    };
    builders.clipboard = [](BuildContext&) -> Expected<std::unique_ptr<ks::Clipboard>> {
        return Result::failure("the seat has no data device");
    };
    const auto platform = openOn(session, std::move(builders));
    EXPECT_EQ(platform->desktop().family, DesktopFamily::Wlroots);
    EXPECT_EQ(&platform->injector(), injector);
    EXPECT_EQ(platform->clipboard().formats(), std::nullopt);
    const auto refused = platform->refused();
    const auto has = [&](const RefusedCapability& r) {
        return std::find(refused.begin(), refused.end(), r) != refused.end();
    };
    EXPECT_TRUE(has({Clipboard,
                     "The clipboard commands could not start: the seat has no data "
                     "device"}));
    EXPECT_TRUE(std::none_of(refused.begin(), refused.end(),
                             [](const auto& r) { return r.capability == Pointer; }));
    EXPECT_EQ(platform->hotKeys().registerHotKey(1, kModControl, 'K').error(),
              "Hot keys are not supported on Wayland by this version.");
}

}  // namespace
}  // namespace ks::test
