#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "expand/Expander.h"
#include "journal/PlaybackSchedule.h"
#include "journal/PlayerHost.h"
#include "platform/CancelWatch.h"
#include "platform/Clock.h"
#include "platform/InputInjector.h"
#include "store/SettingsStore.h"

namespace ks {

// Plays the events of one JournalEvent through the injector: keys by their
// virtual-key code, mouse events at their root coordinates, the wheel as
// buttons 4 and 5.
void injectJournalEvent(InputInjector& injector, const JournalEvent& event);

// The PLAYBACK RECORDING command: loads a recording and injects its events
// on the GUI thread at the times PlaybackSchedule gives, then posts run step.
//
// Waiting is done by a single-shot timer of the clock (precise in the real
// one) armed for the time left until the event's scheduled tick; when it
// fires, the schedule is asked again and an event is injected only once its
// tick has come, so no event leaves early, and a late wake-up does not delay
// the events after it.
class Player {
public:
    // Every service outlives the player.
    struct Services {
        SettingsStore& store;
        Expander& expander;
        InputInjector& injector;
        CancelWatch& cancelWatch;
        Clock& clock;
        PlayerHost& host;
    };

    explicit Player(Services services);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Starts the playback of the command at `commandPath` (`<macro>\Commands\<n>`,
    // below Macros) and returns at once. Ends the run when it cannot start.
    void StartPlayback(std::string_view commandPath);

    // The runner's call when a run ends or repeats: a cancel no longer ends
    // the run. A playback under way plays on to its end.
    void RemoveCancelWatcher();

    bool playing() const { return schedule_.has_value(); }
    bool watching() const { return watcherInstalled_; }

private:
    struct Settings {
        std::int32_t speed = 0;
        std::uint32_t filter = 1;
        std::string journalName;
    };
    std::optional<Settings> readSettings(std::string_view commandPath);
    void failToStart(std::uint64_t run);
    void serve();
    void serveSafely();
    void finish();
    void stopPlaying();
    void userCancelled();

    Services s_;
    std::unique_ptr<Timer> timer_;
    std::uint64_t run_ = 0;  // the run the playback belongs to
    std::optional<PlaybackSchedule> schedule_;
    bool watcherInstalled_ = false;
};

}  // namespace ks
