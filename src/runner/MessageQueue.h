#pragma once

#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "runner/RunControl.h"

namespace ks {

namespace detail {

// Writes what escaped a message handler to standard error.
void reportEscapedMessage(std::size_t kind, const char* what);

template <typename Kind, typename... Kinds>
constexpr std::size_t kindIndex() {
    constexpr bool matches[] = {std::is_same_v<Kind, Kinds>...};
    for (std::size_t i = 0; i < sizeof...(Kinds); ++i) {
        if (matches[i]) return i;
    }
    return sizeof...(Kinds);
}

}  // namespace detail

// The message queue of one thread with a Qt event loop. A message is one of
// `Kinds`, a struct that owns what it carries, so the receiver gets exactly
// the fields its kind has. Any thread may post; the owning thread dispatches
// in the order of posting, one handler per kind. A post wakes the owning
// thread's event loop, so nothing polls. The queue can be asked whether a
// message of some kind waits, without removing it, and drained one message
// at a time, which is how the runner lets stop requests through between two
// commands.
template <typename... Kinds>
class MessageQueue {
public:
    using Message = std::variant<Kinds...>;
    template <typename Kind>
    using Handler = std::function<void(Kind&)>;

    // Dispatches on the thread that creates it.
    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Any thread. Fails, dropping the message, once the queue is closed.
    bool post(Message message) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            if (closed_) return false;
            messages_.push_back(std::move(message));
            wake = !std::exchange(wakePosted_, true);
        }
        if (wake) {
            QMetaObject::invokeMethod(
                &context_, [this] { dispatchWaiting(); }, Qt::QueuedConnection);
        }
        return true;
    }
    // Later posts fail; messages already waiting are still dispatched.
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }

    // Owning thread only. A message without a handler is dropped when its
    // turn comes.
    template <typename Kind>
    void setHandler(Handler<Kind> handler) {
        handlers_[indexOf<Kind>()] = std::make_shared<Handler<Message>>(
            [handler = std::move(handler)](Message& message) { handler(std::get<Kind>(message)); });
    }
    template <typename Kind>
    void removeHandler() {
        handlers_[indexOf<Kind>()].reset();
    }

    template <typename Kind>
    bool isWaiting() const {
        std::lock_guard lock(mutex_);
        return std::any_of(messages_.begin(), messages_.end(), [](const Message& message) {
            return message.index() == indexOf<Kind>();
        });
    }
    bool empty() const {
        std::lock_guard lock(mutex_);
        return messages_.empty();
    }
    // Removes the oldest message and hands it to its handler; false when
    // none waits. An exception out of a handler is reported on standard
    // error and goes no further.
    bool dispatchOne() {
        std::optional<Message> message;
        {
            std::lock_guard lock(mutex_);
            if (messages_.empty()) return false;
            message.emplace(std::move(messages_.front()));
            messages_.pop_front();
        }
        // Held by a copy so that a handler may replace or remove itself.
        const std::shared_ptr<Handler<Message>> handler = handlers_[message->index()];
        if (!handler) return true;
        try {
            (*handler)(*message);
        } catch (const std::exception& error) {
            detail::reportEscapedMessage(message->index(), error.what());
        } catch (...) {
            detail::reportEscapedMessage(message->index(), "unknown exception");
        }
        return true;
    }

private:
    template <typename Kind>
    static constexpr std::size_t indexOf() {
        constexpr std::size_t index = detail::kindIndex<Kind, Kinds...>();
        static_assert(index < sizeof...(Kinds), "not a message of this queue");
        return index;
    }

    void dispatchWaiting() {
        std::size_t waiting = 0;
        {
            std::lock_guard lock(mutex_);
            wakePosted_ = false;
            waiting = messages_.size();
        }
        // Only what waited at the wake-up: messages posted meanwhile have woken
        // the loop again, so other events get their turn in between.
        for (std::size_t i = 0; i < waiting && dispatchOne(); ++i) {
        }
    }

    mutable std::mutex mutex_;
    std::deque<Message> messages_;
    bool closed_ = false;
    bool wakePosted_ = false;
    std::array<std::shared_ptr<Handler<Message>>, sizeof...(Kinds)> handlers_;
    QObject context_;  // lives on the owning thread; wake-ups are delivered through it
};

// What is posted to the GUI thread.
namespace msg {

// Start `macro`; `keysReleased` when the keys that started it are up already
// (a typed phrase's): its first pass starts without the pass-start wait.
struct StartMacro {
    std::string macro;
    bool keysReleased = false;
};
// Go on with `run` from its next position.
struct RunStep {
    RunGeneration run = 0;
};
// End the run and tell the user.
struct StopRun {};
// Capture was cancelled: like stop run.
struct CancelJournal {};
// Run the macro named on the command line.
struct CommandLineMacro {};
// Push every macro, or every recording, to a peer's server.
struct PushToPeer {
    bool recordings = false;
    std::string host;
    std::string port;
};
// The keyboard-watch thread has ended.
struct HookEnded {};
// From the keyboard-watch thread: an error box to show, titled "Error" with the stop icon.
struct HookError {
    std::string text;
};

}  // namespace msg

using ApplicationQueue =
    MessageQueue<msg::StartMacro, msg::RunStep, msg::StopRun, msg::CancelJournal,
                 msg::CommandLineMacro, msg::PushToPeer, msg::HookEnded, msg::HookError>;

}  // namespace ks
