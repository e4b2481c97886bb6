#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "commands/CommandFamily.h"
#include "expand/Expander.h"
#include "journal/PlaybackSchedule.h"
#include "journal/PlayerHost.h"
#include "platform/CancelWatch.h"
#include "platform/Clock.h"
#include "platform/InputInjector.h"
#include "platform/PlaybackThread.h"
#include "store/SettingsStore.h"

namespace ks {

// Plays the events of one JournalEvent through the injector: keys by their
// virtual-key code, mouse events at their root coordinates, the wheel as
// buttons 4 and 5.
void injectJournalEvent(InputInjector& injector, const JournalEvent& event);

// The PLAYBACK RECORDING command: loads a recording and injects its events
// at the times PlaybackSchedule gives, then posts run step.
//
// The schedule is asked and the events injected on the playback thread,
// which sleeps to the monotonic millisecond of each event's scheduled tick;
// when it wakes, the schedule is asked again and an event is injected only
// once its tick has come, so no event leaves early, and a late wake-up does
// not delay the events after it. The GUI thread starts the thread, stops it
// (a cancel, a new playback) and hears only that the steps are done.
class Player final : public CommandFamily {
public:
    // Every service outlives the player.
    struct Services {
        SettingsStore& store;
        Expander& expander;
        PlaybackThread& thread;
        CancelWatch& cancelWatch;
        Clock& clock;
        PlayerHost& host;
    };

    explicit Player(Services services);
    ~Player() override;

    std::span<const CommandId> ids() const override;
    // Starts the playback; the run goes on when it ends.
    CommandResult run(std::uint32_t id, CommandContext& command) override;

    // Starts the playback of the command at `commandPath` (`<macro>\Commands\<n>`,
    // below Macros) and returns at once. Ends the run when it cannot start.
    void startPlayback(std::string_view commandPath);

    // The runner's call when a run ends or repeats: a cancel no longer ends
    // the run. A playback under way plays on to its end.
    void removeCancelWatcher();

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
    // On the playback thread.
    std::optional<std::int64_t> serve(InputInjector& injector);
    std::optional<std::int64_t> serveSafely(InputInjector& injector);
    std::int64_t dueAt(std::uint32_t tick);
    // Back on the GUI thread.
    void finish();
    void stopPlaying();
    void userCancelled();

    Services s_;
    std::uint64_t run_ = 0;  // the run the playback belongs to
    // Used by the playback thread while it runs, by the GUI thread otherwise.
    std::optional<PlaybackSchedule> schedule_;
    std::string failure_;
    bool watcherInstalled_ = false;
};

}  // namespace ks
