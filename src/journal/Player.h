#pragma once

#include <QTimer>

#include <cstdint>
#include <optional>
#include <string_view>

#include "expand/Expander.h"
#include "journal/PlaybackSchedule.h"
#include "journal/PlayerHost.h"
#include "platform/CancelWatch.h"
#include "platform/EventInjector.h"
#include "platform/TickSource.h"
#include "store/SettingsStore.h"

namespace ks {

// Plays the events of one JournalEvent through the injector: keys by their
// virtual-key code, mouse events at their root coordinates, the wheel as
// buttons 4 and 5.
void injectJournalEvent(EventInjector& injector, const JournalEvent& event);

// The PLAYBACK RECORDING command: loads a recording and injects its events
// on the GUI thread at the times PlaybackSchedule gives, then posts run step.
//
// Waiting is done by a precise single-shot timer armed for the time left
// until the event's scheduled tick; when it fires, the schedule is asked
// again and an event is injected only once its tick has come, so no event
// leaves early, and a late wake-up does not delay the events after it.
class Player {
public:
    // Every service outlives the player.
    struct Services {
        SettingsStore& store;
        Expander& expander;
        EventInjector& injector;
        CancelWatch& cancelWatch;
        TickSource& ticks;
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
    void failToStart();
    void serve();
    void serveSafely();
    void finish();
    void stopPlaying();
    void userCancelled();

    Services s_;
    QTimer timer_;
    std::optional<PlaybackSchedule> schedule_;
    bool watcherInstalled_ = false;
};

}  // namespace ks
