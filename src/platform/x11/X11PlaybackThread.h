#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/PlaybackThread.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// The player's thread on an X connection of its own, opened on first use.
// Keys it synthesises are announced as the program's other keys are: the
// announcer set on `announcing` is handed to the thread's injector at each
// start.
class X11PlaybackThread final : public PlaybackThread {
public:
    X11PlaybackThread(std::string display, const InputInjector& announcing)
        : display_(std::move(display)), announcing_(announcing) {}
    ~X11PlaybackThread() override;

    bool available() override;
    void start(Step step, std::function<void()> finished) override;
    void stop() override;

private:
    struct Injection {
        std::unique_ptr<XConnection> connection;
        std::unique_ptr<X11Keymap> keymap;
        std::unique_ptr<X11InputInjector> injector;
    };

    void run(const Step& step, std::uint64_t generation);
    bool sleepUntil(std::int64_t deadlineMillis);
    void finishOnCallerThread(std::uint64_t generation);

    std::string display_;
    const InputInjector& announcing_;
    std::unique_ptr<Injection> injection_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_ = false;
    // Counts the starts, so that a finish posted by a playback stopped
    // since then is not taken for the finish of the current one.
    std::uint64_t generation_ = 0;
    std::function<void()> finished_;
    // Receives the finish on the thread that made this object.
    QObject context_;
};

}  // namespace ks::x11
