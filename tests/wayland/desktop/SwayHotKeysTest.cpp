// Hot keys as sway bindings: a key pressed through wtype on headless sway
// runs its handler, and no binding outlives the program.
#include <gtest/gtest.h>

#include <fstream>

#include "QtTestLoop.h"
#include "TempDir.h"
#include "WaylandSession.h"
#include "platform/wayland/SwayHotKeys.h"
#include "platform/wayland/WaylandConnection.h"

namespace ks::test {
namespace {

using wayland::SwayHotKeys;
using wayland::SwayIpc;

std::vector<std::string> linesOf(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(SwayHotKeysTest, AKeyPressedThroughWtypeRunsItsHandlerAndNoBindingOutlivesTheProgram) {
    WaylandSession session(WaylandSession::Compositor::Sway,
                           "set $mod Mod4\nbindsym $mod+Shift+F5 exec true\n");
    KS_SKIP_WITHOUT(session);
    TempDir folder;
    const std::string remembered = folder.file("bindings");
    auto ipc = SwayIpc::connect(session.swaySocket());
    ASSERT_TRUE(ipc) << ipc.error();
    // What a run that crashed left behind.
    ASSERT_TRUE(ipc->runCommand("bindsym Ctrl+Mod1+j nop keystrider-hotkey 99"));
    std::ofstream(remembered) << "Ctrl+Mod1+j\n";
    std::vector<std::int32_t> pressed;
    // Presses Ctrl+Alt+K; whether the handlers then saw the presses `expected`.
    const auto pressGives = [&](const std::vector<std::int32_t>& expected, int waitMs) {
        session.startClient({"wtype", "-M", "ctrl", "-M", "alt", "k", "-m", "alt", "-m", "ctrl"});
        runEventsUntil([&] { return pressed == expected; }, waitMs);
        return pressed == expected;
    };
    {
        auto connection = wayland::WaylandConnection::open(session.socketPath());
        ASSERT_TRUE(connection) << connection.error();
        auto hotKeys = SwayHotKeys::open(std::move(*connection), session.swaySocket(), remembered);
        ASSERT_TRUE(hotKeys) << hotKeys.error();
        EXPECT_FALSE(ipc->runCommand("unbindsym Ctrl+Mod1+j")) << "the leftover stayed bound";

        (*hotKeys)->setPressedHandler([&](std::int32_t id) { pressed.push_back(id); });
        ASSERT_TRUE((*hotKeys)->registerHotKey(5, kModControl | kModAlt, 'K'));
        EXPECT_EQ((*hotKeys)->registerHotKey(5, kModControl, 'L').error(), kHotKeyIdInUse);
        EXPECT_FALSE((*hotKeys)->registerHotKey(6, kModControl | kModAlt, 'K'));
        // The user's own binding is not taken over.
        EXPECT_EQ((*hotKeys)->registerHotKey(7, kModWin | kModShift, 0x74).error(),
                  "sway's configuration binds Shift+Mod4+F5 to a command of its own.");
        EXPECT_EQ(linesOf(remembered), std::vector<std::string>{"Ctrl+Mod1+k"});

        EXPECT_TRUE(pressGives({5}, 10000));

        // Suspended, the key is no hot key at all.
        (*hotKeys)->setSuspended(true);
        EXPECT_TRUE(linesOf(remembered).empty());
        EXPECT_FALSE(pressGives({5, 5}, 500));
        (*hotKeys)->setSuspended(false);
        EXPECT_TRUE(pressGives({5, 5}, 10000));

        // A reload of sway's configuration drops the binding; it comes back.
        ASSERT_TRUE(ipc->runCommand("reload"));
        runEventsUntil([] { return false; }, 300);
        EXPECT_TRUE(pressGives({5, 5, 5}, 10000));
    }
    EXPECT_FALSE(ipc->runCommand("unbindsym Ctrl+Mod1+k")) << "the binding outlived the program";
    EXPECT_FALSE(std::filesystem::exists(remembered));
}

}  // namespace
}  // namespace ks::test
