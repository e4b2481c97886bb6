// The Wayland platform where the compositor lacks the backend's protocols:
// its services' refusals, its own connection, and the real keystrider there.
#include <gtest/gtest.h>

#include <signal.h>
#include <wayland-client.h>

#include "QtTestLoop.h"
#include "TempDir.h"
#include "WaylandSession.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPlatform.h"

namespace ks::test {
namespace {

using namespace wayland;
using enum Capability;
using std::chrono::milliseconds;

// Whether `part` is in `text` once and only once.
bool once(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos && text.find(part) == text.rfind(part);
}

// weston offers none of the protocols: every desktop service refuses, saying why and what to do.
TEST(WaylandPlatformTest, OnWestonEveryServiceRefusesWithItsReasonAndTheProgramSaysSoOnce) {
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

    testApplication();
    auto opened = WaylandPlatform::open({session.socketPath(), {}}, {});  // with no parts
    ASSERT_TRUE(opened) << opened.error();
    const auto& platform = *opened;
    const auto family = DesktopFamily::Other;
    EXPECT_EQ(platform->desktop().family, family);
    EXPECT_EQ(platform->spareKeys().bind({U'€'}).error(), refusalMessage(Typing, family));
    EXPECT_EQ(platform->hotKeys().registerHotKey(1, kModControl, 'K').error(),
              refusalMessage(HotKeys, family));
    EXPECT_FALSE(platform->injector().available());
    EXPECT_FALSE(platform->makeKeyWatch()->start({}));
    // The desktop lacks each, but for the device watches, which need no protocol
    // and have no part here.
    for (const RefusedCapability& refused : platform->refused()) {
        EXPECT_EQ(refused.failure.empty(), refused.capability != KeyWatch);
    }
    EXPECT_EQ(platform->refused().size(), allCapabilities().size());
    // Key names still follow a layout.
    EXPECT_EQ(platform->keymap().layout()->VkKeyScan(U'a'), 'A');

    // The real keystrider runs there and says once what works and what does not, at each start.
    TempDir dir;
    const char* script =
        "unset DISPLAY XDG_SESSION_TYPE; export WAYLAND_DISPLAY=$1 XDG_CONFIG_HOME=$0/config "
        "TMPDIR=$0 XDG_RUNTIME_DIR=$0 QT_QPA_PLATFORM=wayland; exec \"$2\" 2>&1";
    const std::string notice = "Keystrider: Keystrider runs on Wayland (other compositor).";
    const std::string missing = "- Typing and the key commands need the virtual keyboard protocol";
    for (int start = 0; start < 2; ++start) {
        ChildProcess copy(
            {"sh", "-c", script, dir.path().string(), session.socketPath(), KS_KEYSTRIDER}, "",
            true);
        copy.readUntil([&](const std::string& out) { return once(out, missing); },
                       milliseconds(15000));
        copy.readUntil([](const std::string&) { return false; }, milliseconds(1000));
        EXPECT_TRUE(once(copy.output(), notice) && once(copy.output(), missing)) << copy.output();
        kill(copy.pid(), SIGTERM);
        EXPECT_EQ(copy.wait(milliseconds(10000)), 0) << copy.output();
    }
}

}  // namespace
}  // namespace ks::test
