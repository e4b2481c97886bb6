#include "triggers/HookThread.h"

#include <QEventLoop>

#include <chrono>
#include <future>
#include <optional>
#include <utility>

#include "triggers/PhraseWatch.h"

namespace ks {

// Everything the thread owns, made and destroyed on the thread.
struct HookThread::Worker {
    const Setup& setup;
    WatchQueue& queue;
    PhraseWatch phrases;
    std::unique_ptr<KeyWatch> keys = setup.makeKeyWatch();
    std::unique_ptr<CancelWatch> cancel = setup.makeCancelWatch();
    bool watching = false;
    // A macro whose phrase is typed, waiting for its last key's release.
    struct Pending {
        std::string macro;
        std::uint8_t scan;
    };
    std::optional<Pending> pending;
    std::unique_ptr<Timer> releaseWait = setup.clock.createTimer([this] { firePending(); });

    Worker(const Setup& s, WatchQueue& q) : setup(s), queue(q) {
        queue.setHandler<msg::StartWatching>([this](msg::StartWatching&) { startWatching(); });
        queue.setHandler<msg::StopWatching>([this](msg::StopWatching&) { stopWatching(); });
        queue.setHandler<msg::EndWatch>([this](msg::EndWatch&) { end(); });
        queue.setHandler<msg::AddPhrase>(
            [this](msg::AddPhrase& m) { phrases.matcher().add(std::move(m.entry)); });
        queue.setHandler<msg::RemovePhrase>(
            [this](msg::RemovePhrase& m) { phrases.matcher().removeMacro(m.macro); });
        // Keys typed while nothing is watched never come to be matched.
        queue.setHandler<msg::OwnKey>([this](msg::OwnKey& m) {
            if (watching) phrases.expectOwnKey(m.scan, m.down, now());
        });
    }

    void startWatching() {
        stopWatching();
        const bool keysWatched =
            keys && keys->start([this](const WatchedKey& key, const KeyLayout& layout) {
                onKey(key, layout);
            });
        if (!keysWatched) {
            showError("Unable to set hook for monitoring key board!");
            return;
        }
        if (!cancel || !cancel->start([this] { onCancel(); })) {
            keys->stop();
            showError("Unable to set message hook for monitoring key board!");
            return;
        }
        watching = true;
    }

    void stopWatching() {
        firePending();
        phrases.reset();
        if (keys) keys->stop();
        if (cancel) cancel->stop();
        watching = false;
    }

    void end() {
        stopWatching();
        if (!setup.application.post(msg::HookEnded{})) {
            showError("Error posting message to main application thread.");
        }
        QThread::currentThread()->quit();
    }

    void onKey(const WatchedKey& key, const KeyLayout& layout) {
        // Announcements of the program's own keys are posted before the
        // keys are sent, so by now every one of them waits in the queue.
        if (key.synthetic) {
            while (queue.dispatchOne()) {
            }
            if (!watching) return;
        }
        if (pending && !key.pressed && key.scan == pending->scan) firePending();
        if (const std::string* macro = phrases.onKey(key, layout, now())) {
            firePending();
            pending = Pending{*macro, key.scan};
            releaseWait->start(std::chrono::milliseconds(kReleaseWaitMs));
        }
    }

    std::int64_t now() const { return setup.clock.monotonicMillis(); }

    void showError(const std::string& text) { setup.application.post(msg::HookError{text}); }

    void firePending() {
        releaseWait->stop();
        if (!pending) return;
        const std::string macro = std::move(pending->macro);
        pending.reset();
        if (!setup.application.post(msg::StartMacro{macro, true})) {
            showError("Error posting message to main thread.");
        }
    }

    // On X11 nothing ends the watch; the cancel gesture clears the buffer
    // as watching anew would, and stops the run.
    void onCancel() {
        pending.reset();
        releaseWait->stop();
        phrases.reset();
        setup.application.post(msg::StopRun{});
    }
};

HookThread::HookThread(Setup setup) : setup_(std::move(setup)) {
    std::promise<void> queueMade;
    std::future<void> made = queueMade.get_future();
    thread_.reset(QThread::create([this, &queueMade] { run(queueMade); }));
    thread_->setObjectName(QStringLiteral("phrase watch"));  // the system's name for it
    thread_->start(QThread::TimeCriticalPriority);
    // The queue must exist before the first message is posted to it.
    made.wait();
}

HookThread::~HookThread() {
    thread_->quit();
    thread_->wait();
}

void HookThread::run(std::promise<void>& queueMade) {
    queue_ = std::make_unique<WatchQueue>();
    {
        Worker worker(setup_, *queue_);
        queueMade.set_value();
        QEventLoop loop;
        loop.exec();
        queue_->close();
    }
}

}  // namespace ks
