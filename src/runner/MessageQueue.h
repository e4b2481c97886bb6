#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ks {

// Message numbers between the program's threads and windows. They keep the
// numbering of the platform messages they stand for (WM_USER is 1024) and
// their meaning and order.
inline constexpr std::uint32_t kWmUser = 1024;
inline constexpr std::uint32_t kMsgRunStep = kWmUser + 4;        // execute from the next position
inline constexpr std::uint32_t kMsgHookEnd = kWmUser + 7;        // hook thread: remove hooks, exit
inline constexpr std::uint32_t kMsgStartWatching = kWmUser + 8;  // hook thread: watch typed phrases
inline constexpr std::uint32_t kMsgHookEnded = kWmUser + 9;      // hook thread has ended
inline constexpr std::uint32_t kMsgStopWatching = kWmUser + 10;  // hook thread: stop watching
inline constexpr std::uint32_t kMsgRemovePhrase =
    kWmUser + 11;                                              // hook thread: drop a macro's phrase
inline constexpr std::uint32_t kMsgAddPhrase = kWmUser + 12;   // hook thread: add a phrase entry
inline constexpr std::uint32_t kMsgStartMacro = kWmUser + 13;  // text1: the macro name
// A start macro's number when the keys that started it are up already (a
// typed phrase's): its first pass starts without the pass-start wait.
inline constexpr std::int64_t kStartKeysReleased = 1;
inline constexpr std::uint32_t kMsgStopRun = kWmUser + 14;         // end the run, tell the user
inline constexpr std::uint32_t kMsgRunMacroByName = kWmUser + 15;  // forwarded start macro
inline constexpr std::uint32_t kMsgCmdLineMacro = kWmUser + 16;    // run the CmdLineMacro macro
inline constexpr std::uint32_t kMsgPushMacros = kWmUser + 17;      // push all macros to a peer
inline constexpr std::uint32_t kMsgPushRecordings = kWmUser + 18;  // push all recordings to a peer
inline constexpr std::uint32_t kMsgCancelJournal = 0x004B;  // capture cancelled: like stop run

// A posted message. It owns its texts: the receiver gets them with the
// message, and they go with the message when it is dropped.
struct Message {
    std::uint32_t id = 0;
    std::optional<std::string> text1;
    std::optional<std::string> text2;
    std::int64_t number = 0;
};

// The message queue of one thread with a Qt event loop (the GUI thread).
// Any thread may post; the owning thread dispatches in the order of posting,
// one handler per message number. A post wakes the owning thread's event
// loop, so nothing polls. The queue can be asked whether a message of some
// number waits, without removing it, and drained one message at a time, which
// is how the runner lets stop requests through between two commands.
class MessageQueue {
public:
    using Handler = std::function<void(Message&)>;

    // Dispatches on the thread that creates it.
    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Any thread. Fails, dropping the message, once the queue is closed.
    bool post(Message message);
    // Later posts fail; messages already waiting are still dispatched.
    void close();

    // Owning thread only. A message without a handler is dropped when its
    // turn comes.
    void setHandler(std::uint32_t id, Handler handler);
    void removeHandler(std::uint32_t id);

    bool isWaiting(std::uint32_t id) const;
    bool empty() const;
    // Removes the oldest message and hands it to its handler; false when
    // none waits. An exception out of a handler is reported on standard
    // error and goes no further.
    bool dispatchOne();

private:
    void dispatchWaiting();

    mutable std::mutex mutex_;
    std::deque<Message> messages_;
    bool closed_ = false;
    bool wakePosted_ = false;
    std::unordered_map<std::uint32_t, std::shared_ptr<Handler>> handlers_;
    QObject context_;  // lives on the owning thread; wake-ups are delivered through it
};

// Posts `message` with copies of up to two texts (each may be absent) to
// `thread`. The receiver owns the copies; when the post fails they are
// released here and the result is false.
bool PostStringsToThread(MessageQueue& thread, std::uint32_t message,
                         std::optional<std::string_view> text1,
                         std::optional<std::string_view> text2 = std::nullopt);

// The application thread's part in starting a macro: every start macro
// message that reaches `applicationThread` goes on to `mainWindow` as run
// macro by name, with the same texts.
void ForwardStartRequests(MessageQueue& applicationThread, MessageQueue& mainWindow);

}  // namespace ks
