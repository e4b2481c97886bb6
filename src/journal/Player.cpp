#include "journal/Player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "journal/RecordingStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

// Events due at once are served in bursts of this many before the event
// loop gets a turn, so a recording of instant events cannot starve it.
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

Player::Player(Services services)
    : s_(services), timer_(s_.clock.createTimer([this] { serveSafely(); })) {}

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

void Player::StartPlayback(std::string_view commandPath) {
    const std::uint64_t run = s_.host.currentRun();
    const auto settings = readSettings(commandPath);
    if (!settings) {
        s_.host.endRun(run);
        return;
    }
    stopPlaying();
    auto events = LoadRecordingForPlayback(s_.store, settings->journalName);
    if (!events) {
        s_.host.endRun(run);
        return;
    }
    if (!s_.injector.available()) {
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
    // The first request comes from the event loop, after the runner has returned.
    timer_->start(std::chrono::milliseconds(0));
}

void Player::serveSafely() {
    try {
        serve();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Playback: %s\n", error.what());
        stopPlaying();
        s_.host.endRun(run_);
    }
}

void Player::serve() {
    for (int served = 0; schedule_; ++served) {
        if (served == kBurst) {
            timer_->start(std::chrono::milliseconds(0));
            return;
        }
        const PlaybackStep step = schedule_->getNext();
        switch (step.kind) {
            case PlaybackStep::Kind::Finished: finish(); return;
            case PlaybackStep::Kind::PressWindowsKey:
                s_.injector.key(virtualKeyOf(step.event), scanCodeOf(step.event), step.keyDown);
                s_.injector.flush();
                break;
            case PlaybackStep::Kind::Deliver:
                if (step.wait > 0) {
                    timer_->start(std::chrono::milliseconds(step.wait));
                    return;
                }
                injectJournalEvent(s_.injector, step.event);
                break;
        }
        if (!schedule_->skip()) {
            finish();
            return;
        }
    }
}

void Player::finish() {
    stopPlaying();
    s_.host.postRunStep(run_);
}

void Player::stopPlaying() {
    timer_->stop();
    if (schedule_) s_.cancelWatch.stop();
    schedule_.reset();
}

void Player::RemoveCancelWatcher() {
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
