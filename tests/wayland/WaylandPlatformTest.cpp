// The Wayland platform's services: the refusals where the compositor lacks a protocol, the
// parts' builders where it has one.
#include <gtest/gtest.h>

#include "QtTestLoop.h"
#include "RecordingInput.h"
#include "WaylandSession.h"
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
    const auto platform = openOn(session);
    const auto family = DesktopFamily::Other;  // the messages name it
    EXPECT_EQ(platform->spareKeys().bind({U'€'}).error(), refusalMessage(Typing, family));
    EXPECT_EQ(platform->hotKeys().registerHotKey(1, kModControl, 'K').error(),
              refusalMessage(HotKeys, family));
    EXPECT_FALSE(platform->injector().available());
    EXPECT_FALSE(platform->playbackThread().available());
    EXPECT_EQ(platform->clipboard().formats(), std::nullopt);
    EXPECT_TRUE(platform->windows().topLevelWindows().empty());
    EXPECT_FALSE(platform->capture().start({}, {}));
    EXPECT_FALSE(platform->makeKeyWatch()->start({}));
    for (const RefusedCapability& refused : platform->refused()) {  // the desktop lacks it,
        EXPECT_TRUE(refused.failure.empty() || refused.capability == KeyWatch);  // or no part
    }
    EXPECT_EQ(platform->refused().size(), allCapabilities().size());
    EXPECT_EQ(platform->keymap().layout()->VkKeyScan(U'a'), 'A');  // key names follow a layout
}

// On sway each part's builder is asked where its protocol is offered; a failing one refuses.
TEST(WaylandPlatformTest, OnSwayThePartsBuildersGiveTheServicesOrTheirFailure) {
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    WaylandServiceBuilders builders;
    RecordingInjector* injector = nullptr;
    builders.injector = [&](BuildContext&) -> Expected<std::unique_ptr<InputInjector>> {
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
