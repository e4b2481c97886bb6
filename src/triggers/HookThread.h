#pragma once

#include <QThread>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "platform/CancelWatch.h"
#include "platform/Clock.h"
#include "platform/KeyWatch.h"
#include "runner/MessageQueue.h"
#include "triggers/PhraseTable.h"

namespace ks {

// What is posted to the keyboard-watch thread.
namespace msg {

struct StartWatching {};
struct StopWatching {};
struct EndWatch {};
struct AddPhrase {
    PhraseEntry entry;
};
// Drops the phrase of `macro`.
struct RemovePhrase {
    std::string macro;
};
// The program is about to synthesise this key.
struct OwnKey {
    std::uint8_t scan = 0;
    bool down = false;
};

}  // namespace msg

using WatchQueue = MessageQueue<msg::StartWatching, msg::StopWatching, msg::EndWatch,
                                msg::AddPhrase, msg::RemovePhrase, msg::OwnKey>;

// The keyboard-watch thread: its own thread, event loop and X connections
// (through the watches it makes), its own phrase table and typed buffer. It
// shares nothing with the GUI thread; both talk only by posted messages,
// whose texts the receiver owns.
//
// A phrase typed to its end starts its macro once the key that completed it
// is released (at most kReleaseWaitMs later), so the macro's first keys are
// not mixed with the user's; a physical Ctrl+Esc stops the running macro.
class HookThread {
public:
    static constexpr int kReleaseWaitMs = 50;

    struct Setup {
        // Start macro (with its keys released), stop run, hook thread ended
        // and hook error go to the GUI thread.
        ApplicationQueue& application;
        // Times the release wait and the program's own keys; its timers are
        // made on the new thread.
        Clock& clock;
        // Called on the new thread, which owns what they make.
        std::function<std::unique_ptr<KeyWatch>()> makeKeyWatch;
        std::function<std::unique_ptr<CancelWatch>()> makeCancelWatch;
    };

    // Starts the thread; its queue takes messages once this returns.
    explicit HookThread(Setup setup);
    // Ends the thread, if postEnd() has not, and waits for it.
    ~HookThread();
    HookThread(const HookThread&) = delete;
    HookThread& operator=(const HookThread&) = delete;

    // Each post is false when the thread no longer takes messages.
    bool postInstallHooks() { return post(msg::StartWatching{}); }
    bool postRemoveHooks() { return post(msg::StopWatching{}); }
    bool postEnd() { return post(msg::EndWatch{}); }
    bool postAddPhrase(const PhraseEntry& entry) { return post(msg::AddPhrase{entry}); }
    bool postRemovePhrase(std::string_view macro) {
        return post(msg::RemovePhrase{std::string(macro)});
    }
    // From the thread that synthesises keys, before each key it sends.
    bool postOwnKey(std::uint8_t scan, bool down) { return post(msg::OwnKey{scan, down}); }

private:
    struct Worker;

    bool post(WatchQueue::Message message) { return queue_->post(std::move(message)); }
    void run(std::promise<void>& queueMade);

    Setup setup_;
    std::unique_ptr<WatchQueue> queue_;  // made on the thread, closed when it ends
    std::unique_ptr<QThread> thread_;
};

}  // namespace ks
