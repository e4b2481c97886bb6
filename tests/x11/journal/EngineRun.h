#pragma once

#include <gtest/gtest.h>

#include <string>

#include "QtTestLoop.h"
#include "app/Engine.h"
#include "commands/CommandTable.h"
#include "platform/InputInjector.h"

namespace ks::test {

// The virtual key the macro of addPlaybackMacro types after its playback.
inline constexpr std::uint8_t kNextCommandVk = 0x42;

// The macro "Mac": PLAYBACK RECORDING of `journal` at recorded speed with
// every event, then the keystroke B pressed and released.
inline void addPlaybackMacro(SettingsStore& store, const std::string& journal) {
    ASSERT_TRUE(store.CreateMacroKey("Mac\\Commands\\0"));
    ASSERT_TRUE(store.WriteDword(kPlaybackRecording, "\\Macros\\Mac\\Commands\\0", "id"));
    ASSERT_TRUE(store.WriteMacroString(journal, "Mac\\Commands\\0", "JournalName"));
    ASSERT_TRUE(store.WriteDword(1, "\\Macros\\Mac\\Commands\\0", "PlayBackEvent"));
    ASSERT_TRUE(store.WriteMacroString("0", "Mac\\Commands\\0", "PlayBackSpeed"));
    for (std::uint32_t flags : {0u, kKeyUp}) {
        const std::string command = "Mac\\Commands\\" + std::to_string(1 + flags / kKeyUp);
        ASSERT_TRUE(store.CreateMacroKey(command));
        ASSERT_TRUE(store.WriteDword(kNextCommandVk, "\\Macros\\" + command, "id"));
        ASSERT_TRUE(store.WriteDword(flags, "\\Macros\\" + command, "KeyPressed"));
    }
}

// The program's own engine on a test's platform, joined to hooks as the
// shell would be, so that macros run as they do in the program.
struct EngineRun {
    EngineRun(SettingsStore& store, Messages& messages, Platform& platform)
        : engine(store, messages, platform) {
        engine.connectHooks(hooks);
    }

    // Starts the macro "Mac"; true once its run is under way.
    bool start() {
        return hooks.postStartMacro("Mac") && runEventsUntil([this] { return active(); }, 3000);
    }
    bool active() { return hooks.runActive(); }
    bool runToEnd(int limitMs) {
        return start() && runEventsUntil([this] { return !active(); }, limitMs);
    }

    Engine engine;
    ShellHooks hooks;
};

}  // namespace ks::test
