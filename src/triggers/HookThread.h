#pragma once

#include <QThread>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "platform/CancelWatch.h"
#include "platform/KeyWatch.h"
#include "runner/MessageQueue.h"
#include "triggers/PhraseTable.h"

namespace ks {

// To the keyboard-watch thread: the program is about to synthesise a key
// (`number`: its scan code, plus 256 for a press).
inline constexpr std::uint32_t kMsgOwnKey = kWmUser + 100;
// From it: an error box to show (text1), titled "Error" with the stop icon.
inline constexpr std::uint32_t kMsgHookError = kWmUser + 101;

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
        // Start macro (with kStartKeysReleased), hook thread ended and hook
        // error go to the application thread, stop run to the main window.
        MessageQueue& application;
        MessageQueue& mainWindow;
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
    bool postInstallHooks() { return post({kMsgStartWatching, {}, {}, 0}); }
    bool postRemoveHooks() { return post({kMsgStopWatching, {}, {}, 0}); }
    bool postEnd() { return post({kMsgHookEnd, {}, {}, 0}); }
    bool postAddPhrase(const PhraseEntry& entry);
    bool postRemovePhrase(std::string_view macro);
    // From the thread that synthesises keys, before each key it sends.
    bool postOwnKey(std::uint8_t scan, bool down);

private:
    struct Worker;

    bool post(Message message) { return queue_->post(std::move(message)); }
    void run(std::promise<void>& queueMade);

    Setup setup_;
    std::unique_ptr<MessageQueue> queue_;  // made on the thread, closed when it ends
    std::unique_ptr<QThread> thread_;
};

}  // namespace ks
