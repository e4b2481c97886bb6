#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/linux/InjectorPlaybackThread.h"
#include "platform/x11/PlaybackTrace.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// The player's thread on an X connection of its own, opened on first use.
// The steps follow the layout by its change notices and the pointer by
// where they put it and the raw motions of the user's mouse; a playback is
// traced when the environment asks for it.
class X11PlaybackThread final : public InjectorPlaybackThread {
public:
    X11PlaybackThread(std::string display, const InputInjector& announcing)
        : InjectorPlaybackThread(announcing), display_(std::move(display)) {}
    ~X11PlaybackThread() override { stop(); }

protected:
    InputInjector* injector() override;
    void prepare() override;
    InputInjector& begin(InputInjector& injector, ThreadPriority granted) override;
    void woke(std::int64_t deadlineMillis) override;
    void nearDeadline() override;
    void end() override;

private:
    struct Injection {
        std::unique_ptr<XConnection> connection;
        std::unique_ptr<X11Keymap> keymap;
        std::unique_ptr<X11InputInjector> injector;
    };

    std::string display_;
    std::unique_ptr<Injection> injection_;
    // The running playback's trace, if any; touched on the thread alone.
    std::unique_ptr<PlaybackTrace> trace_;
    std::optional<TracingInjector> traced_;
};

}  // namespace ks::x11
