#pragma once

#include <gtest/gtest.h>

#include <QTimer>

#include <string>
#include <vector>

#include "core/CommandId.h"
#include "expand/Expander.h"
#include "journal/Player.h"
#include "journal/PlayerHost.h"
#include "platform/Clock.h"
#include "store/SettingsStore.h"

namespace ks::test {

class NoExpansion final : public Expander {
public:
    void Expand(std::string&) override {}
};

// Just enough of the macro runner to run a macro's commands in order:
// PLAYBACK RECORDING starts the player and returns; run step goes on.
class MiniRunner final : public PlayerHost {
public:
    MiniRunner(SettingsStore& store, Clock& clock) : store_(store), clock_(clock) {}

    void attach(Player& player) { player_ = &player; }
    void start() {
        active = true;
        QTimer::singleShot(0, [this] { runSteps(); });
    }

    std::uint64_t currentRun() override { return active ? 1 : 0; }
    void postRunStep(std::uint64_t) override {
        QTimer::singleShot(0, [this] { runSteps(); });
    }
    void endRun(std::uint64_t) override { endRun(); }
    void endRun() {
        player_->RemoveCancelWatcher();
        active = false;
        ended = true;
    }
    bool raiseMainWindow() override { return true; }
    void postStopRun() override {
        QTimer::singleShot(0, [this] {
            if (!active) return;
            endRun();
            stopped = true;
        });
    }

    bool active = false;
    bool ended = false;
    bool stopped = false;
    std::vector<std::uint32_t> otherCommandTicks;

private:
    void runSteps() {
        while (active) {
            const std::string path = "Mac\\Commands\\" + std::to_string(next_++);
            const auto id = store_.GetDword("SOFTWARE\\Quorvel\\Keystrider\\Macros\\" + path, "id");
            if (!id) {
                endRun();
                return;
            }
            if (*id == kPlaybackRecording) {
                player_->StartPlayback(path);
                return;
            }
            otherCommandTicks.push_back(clock_.ticks());
        }
    }

    SettingsStore& store_;
    Clock& clock_;
    Player* player_ = nullptr;
    int next_ = 0;
};

// The macro "Mac": PLAYBACK RECORDING of `journal` at recorded speed with
// every event, then a DELAY.
inline void addPlaybackMacro(SettingsStore& store, const std::string& journal) {
    ASSERT_TRUE(store.CreateMacroKey("Mac\\Commands\\0"));
    ASSERT_TRUE(store.CreateMacroKey("Mac\\Commands\\1"));
    ASSERT_TRUE(store.WriteDword(kPlaybackRecording, "\\Macros\\Mac\\Commands\\0", "id"));
    ASSERT_TRUE(store.WriteMacroString(journal, "Mac\\Commands\\0", "JournalName"));
    ASSERT_TRUE(store.WriteDword(1, "\\Macros\\Mac\\Commands\\0", "PlayBackEvent"));
    ASSERT_TRUE(store.WriteMacroString("0", "Mac\\Commands\\0", "PlayBackSpeed"));
    ASSERT_TRUE(store.WriteDword(kDelay, "\\Macros\\Mac\\Commands\\1", "id"));
}

}  // namespace ks::test
