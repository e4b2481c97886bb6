#include "runner/MessageQueue.h"

#include <QMetaObject>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace ks {

namespace {

void reportEscaped(std::uint32_t id, const char* what) {
    std::fprintf(stderr, "Keystrider: message %u: %s\n", static_cast<unsigned>(id), what);
}

}  // namespace

MessageQueue::MessageQueue() = default;

MessageQueue::~MessageQueue() = default;

bool MessageQueue::post(Message message) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        messages_.push_back(std::move(message));
        wake = !wakePosted_;
        wakePosted_ = true;
    }
    if (wake) {
        QMetaObject::invokeMethod(
            &context_, [this] { dispatchWaiting(); }, Qt::QueuedConnection);
    }
    return true;
}

void MessageQueue::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

void MessageQueue::setHandler(std::uint32_t id, Handler handler) {
    handlers_[id] = std::make_shared<Handler>(std::move(handler));
}

void MessageQueue::removeHandler(std::uint32_t id) {
    handlers_.erase(id);
}

bool MessageQueue::isWaiting(std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    return std::any_of(messages_.begin(), messages_.end(),
                       [id](const Message& message) { return message.id == id; });
}

bool MessageQueue::empty() const {
    std::lock_guard lock(mutex_);
    return messages_.empty();
}

bool MessageQueue::dispatchOne() {
    Message message;
    {
        std::lock_guard lock(mutex_);
        if (messages_.empty()) return false;
        message = std::move(messages_.front());
        messages_.pop_front();
    }
    const auto found = handlers_.find(message.id);
    if (found == handlers_.end()) return true;
    // Held by a copy so that a handler may replace or remove itself.
    const std::shared_ptr<Handler> handler = found->second;
    try {
        (*handler)(message);
    } catch (const std::exception& error) {
        reportEscaped(message.id, error.what());
    } catch (...) {
        reportEscaped(message.id, "unknown exception");
    }
    return true;
}

void MessageQueue::dispatchWaiting() {
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

bool PostStringsToThread(MessageQueue& thread, std::uint32_t message,
                         std::optional<std::string_view> text1,
                         std::optional<std::string_view> text2) {
    Message posted{message, {}, {}, 0};
    if (text1) posted.text1.emplace(*text1);
    if (text2) posted.text2.emplace(*text2);
    return thread.post(std::move(posted));
}

void ForwardStartRequests(MessageQueue& applicationThread, MessageQueue& mainWindow) {
    applicationThread.setHandler(kMsgStartMacro, [&mainWindow](Message& message) {
        message.id = kMsgRunMacroByName;
        mainWindow.post(std::move(message));
    });
}

}  // namespace ks
