#include "journal/Player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "journal/RecordingStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

// Events due at once are served in bursts of this many before the thread
// looks for a stop again, so a recording of instant events stops at once too.
constexpr int kBurst = 64;

struct MouseButton {
    unsigned number;
    bool down;
};

std::optional<MouseButton> buttonOf(std::uint32_t message) {
    switch (message) {
        // A double-click message is the second press of a double click.
        case kWmLButtonDown:
        case kWmLButtonDblClk: return MouseButton{1, true};
        case kWmLButtonUp: return MouseButton{1, false};
        case kWmMButtonDown:
        case kWmMButtonDblClk: return MouseButton{2, true};
        case kWmMButtonUp: return MouseButton{2, false};
        case kWmRButtonDown:
        case kWmRButtonDblClk: return MouseButton{3, true};
        case kWmRButtonUp: return MouseButton{3, false};
        default: return std::nullopt;
    }
}

// A stored or imported recording's delta is anyone's number: no event turns
// the wheel further than this, so one event cannot queue millions of clicks.
constexpr std::int64_t kMaxWheelNotches = 100;

void injectWheel(InputInjector& injector, std::int32_t delta) {
    const unsigned number = delta >= 0 ? 4 : 5;
    const std::int64_t notches =
        std::clamp<std::int64_t>(std::abs(std::int64_t{delta}) / kWheelDelta, 1, kMaxWheelNotches);
    for (std::int64_t i = 0; i < notches; ++i) {
        injector.button(number, true);
        injector.button(number, false);
    }
}

}  // namespace

void injectJournalEvent(InputInjector& injector, const JournalEvent& event) {
    switch (event.message) {
        case kWmKeyDown:
        case kWmSysKeyDown: injector.key(virtualKeyOf(event), scanCodeOf(event), true); break;
        case kWmKeyUp:
        case kWmSysKeyUp: injector.key(virtualKeyOf(event), scanCodeOf(event), false); break;
        default:
            if (!isMouseMessage(event.message)) return;  // characters are no input of their own
            injector.motion(static_cast<std::int32_t>(event.paramL),
                            static_cast<std::int32_t>(event.paramH));
            if (event.message == kWmMouseWheel) {
                injectWheel(injector, wheelDeltaOf(event));
            } else if (auto button = buttonOf(event.message)) {
                injector.button(button->number, button->down);
            }
    }
    injector.flush();
}

Player::Player(Services services) : s_(services) {}

Player::~Player() {
    stopPlaying();
}

std::optional<Player::Settings> Player::readSettings(std::string_view commandPath) {
    Settings settings;
    std::string speed;
    if (s_.store.ReadMacroString(commandPath, "PlayBackSpeed", speed)) {
        s_.expander.Expand(speed);
        settings.speed = parseSpeed(speed);
    }
    const std::string subpath = StoreKey::macros().child(commandPath).rootSubpath();
    settings.filter = s_.store.ReadDword(subpath, "PlayBackEvent").value_or(1);
    if (!s_.store.ReadMacroString(commandPath, "JournalName", settings.journalName)) {
        return std::nullopt;
    }
    return settings;
}

void Player::failToStart(std::uint64_t run) {
    s_.store.messages().show("Unable to set hook for play back of recording!", "Error",
                             MsgIcon::Stop);
    s_.host.endRun(run);
}

std::span<const CommandId> Player::ids() const {
    static constexpr CommandId kIds[] = {kPlaybackRecording};
    return kIds;
}

CommandResult Player::run(std::uint32_t, CommandContext& command) {
    startPlayback(command.path());
    return CommandResult::Handover;
}

void Player::startPlayback(std::string_view commandPath) {
    const std::uint64_t run = s_.host.currentRun();
    const auto settings = readSettings(commandPath);
    if (!settings) {
        s_.host.endRun(run);
        return;
    }
    stopPlaying();
    auto events = loadRecordingForPlayback(s_.store, settings->journalName);
    if (!events) {
        s_.host.endRun(run);
        return;
    }
    if (!s_.thread.available()) {
        failToStart(run);
        return;
    }
    if (!s_.cancelWatch.start([this] { userCancelled(); })) {
        failToStart(run);
        return;
    }
    watcherInstalled_ = true;
    run_ = run;
    schedule_.emplace(std::move(*events), settings->filter, settings->speed, s_.clock);
    failure_.clear();
    s_.thread.start([this](InputInjector& injector) { return serveSafely(injector); },
                    [this] { finish(); });
}

std::optional<std::int64_t> Player::serveSafely(InputInjector& injector) {
    try {
        return serve(injector);
    } catch (const std::exception& error) {
        failure_ = error.what();
        return std::nullopt;
    }
}

// The monotonic millisecond whose tick count is `tick`: ticks are that clock
// cut to 32 bits.
std::int64_t Player::dueAt(std::uint32_t tick) {
    const std::int64_t now = s_.clock.monotonicMillis();
    return now + static_cast<std::int32_t>(tick - static_cast<std::uint32_t>(now));
}

std::optional<std::int64_t> Player::serve(InputInjector& injector) {
    for (int served = 0; served < kBurst; ++served) {
        const PlaybackStep step = schedule_->getNext();
        switch (step.kind) {
            case PlaybackStep::Kind::Finished: return std::nullopt;
            case PlaybackStep::Kind::PressWindowsKey:
                injector.key(virtualKeyOf(step.event), scanCodeOf(step.event), step.keyDown);
                injector.flush();
                break;
            case PlaybackStep::Kind::Deliver:
                if (step.wait > 0) return dueAt(step.event.time);
                injectJournalEvent(injector, step.event);
                break;
        }
        if (!schedule_->skip()) return std::nullopt;
    }
    return s_.clock.monotonicMillis();
}

void Player::finish() {
    const bool failed = !failure_.empty();
    if (failed) std::fprintf(stderr, "Playback: %s\n", failure_.c_str());
    stopPlaying();
    if (failed) {
        s_.host.endRun(run_);
    } else {
        s_.host.postRunStep(run_);
    }
}

void Player::stopPlaying() {
    s_.thread.stop();
    if (schedule_) s_.cancelWatch.stop();
    schedule_.reset();
}

void Player::removeCancelWatcher() {
    watcherInstalled_ = false;
}

void Player::userCancelled() {
    // The user's cancel ends the playback at once, without run step.
    stopPlaying();
    if (!watcherInstalled_) return;
    watcherInstalled_ = false;
    if (s_.host.raiseMainWindow()) {
        s_.host.postStopRun();
    } else {
        s_.store.messages().show(
            "Play back of recording has been terminated by the system!\nUnable to reset "
            "Keystrider!  Please close Keystrider and restart!",
            "Attention - Keystrider", MsgIcon::Exclamation);
    }
}

}  // namespace ks
