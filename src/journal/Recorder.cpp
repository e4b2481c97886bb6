#include "journal/Recorder.h"

#include <new>

#include "journal/CaptureTranslation.h"
#include "journal/RecordingStore.h"

namespace ks {
namespace {

std::string withoutTrailingBlanks(std::string text) {
    const auto end = text.find_last_not_of(" \t");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

void showError(Messages& messages, const std::string& text, MsgOwner owner = MsgOwner::None) {
    messages.show(text, "Error", MsgIcon::Stop, MsgButtons::Ok, owner);
}

}  // namespace

std::vector<RecorderWindow> recorderWindowList(WindowControl& windows) {
    const std::vector<TopLevelWindow> listed = windows.topLevelWindows();
    std::vector<RecorderWindow> rows;
    rows.reserve(listed.size());
    for (const TopLevelWindow& window : listed) {
        std::string caption = withoutTrailingBlanks(window.title);
        if (caption.empty()) {
            caption = window.taskBar ? "Task Bar" : withoutTrailingBlanks(listed.front().title);
        }
        rows.push_back({window.id, std::move(caption)});
    }
    return rows;
}

Recorder::Recorder(Services services, RecorderHost& host, std::size_t eventLimit)
    : s_(services), host_(host), eventLimit_(eventLimit) {}

Recorder::~Recorder() {
    Stop();
}

void Recorder::postForThisCapture(void (Recorder::*step)()) {
    host_.post([this, step, generation = generation_] {
        if (generation == generation_) (this->*step)();
    });
}

void Recorder::Record(std::optional<WindowId> window) {
    Stop();
    ++generation_;
    if (!window) {
        s_.messages.show("No starting window selected!", "Attention", MsgIcon::Exclamation);
        return;
    }
    WindowControl& windows = s_.windows;
    const bool own = windows.isOwnWindow(*window);
    const bool desktop = windows.isDesktop(*window);
    if (!own && !desktop) {
        if (!windows.attachInput(*window)) {
            showError(s_.messages, "Unable to attach to window you selected to start in!");
            return;
        }
        attached_ = window;
        if (!windows.setForeground(*window)) {
            showError(s_.messages, "Unable to bring the selected window to the foreground!");
            Stop();
            return;
        }
    }
    // Capturing starts once the focus change has been handled.
    postForThisCapture(&Recorder::startCapture);
}

bool Recorder::reserve(std::size_t events) {
    if (events > eventLimit_) return false;
    try {
        buffer_->reserve(events);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

void Recorder::startCapture() {
    buffer_.emplace();
    if (!reserve(kBufferStep)) {
        Release();
        showError(s_.messages, "Error allocating memory!");
        Stop();
        host_.closeDialog();
        return;
    }
    growthFailed_ = false;
    layout_ = s_.keymap.layout();
    if (minimize_) {
        host_.minimizeMainWindow(true);
        minimized_ = true;
    }
    capturing_ = s_.capture.start(
        [this](const CapturedInput* inputs, std::size_t count) { Receive(inputs, count); },
        [this] { captureEnded(); });
    if (!capturing_) {
        Release();
        showError(s_.messages, "Unable to set hook for recording!");
        Stop();
        return;
    }
    if (!s_.cancelWatch.start([this] { captureEnded(); })) {
        Release();
        showError(s_.messages, "Unable to set hook for message pump!");
        Stop();
    }
}

void Recorder::captureEnded() {
    host_.raiseDialog();
    postForThisCapture(&Recorder::captureLost);
}

void Recorder::Receive(const CapturedInput* inputs, std::size_t count) {
    for (std::size_t i = 0; i < count && capturing_; ++i) {
        const auto event = toJournalEvent(inputs[i], *layout_);
        if (!event) continue;
        if (event->message == kWmKeyDown && virtualKeyOf(*event) == kVkCancel) {
            // Ctrl+Break ends the capture; nothing after it belongs to the recording.
            s_.capture.stop();
            host_.raiseDialog();
            postForThisCapture(&Recorder::stopRequested);
            return;
        }
        if (!Store(*event)) return;
    }
}

bool Recorder::Store(const JournalEvent& event) {
    if (growthFailed_) return false;
    std::vector<JournalEvent>& events = *buffer_;
    if (events.size() == events.capacity() && !reserve(events.capacity() + kBufferStep)) {
        growthFailed_ = true;
        host_.raiseDialog();
        postForThisCapture(&Recorder::growthFailed);
        return false;
    }
    if (passesFilter(static_cast<std::uint32_t>(type_), event.message)) events.push_back(event);
    return true;
}

void Recorder::Stop() {
    s_.capture.stop();
    s_.cancelWatch.stop();
    capturing_ = false;
    if (attached_) {
        s_.windows.detachInput(*attached_);
        attached_.reset();
    }
    if (minimized_) {
        host_.minimizeMainWindow(false);
        minimized_ = false;
    }
}

void Recorder::stopRequested() {
    Stop();
    s_.messages.show("Recording stopped!", "Attention", MsgIcon::Information);
}

void Recorder::growthFailed() {
    Stop();
    Release();
    showError(s_.messages, "System error while recording.  Retry!", MsgOwner::SystemModal);
}

void Recorder::captureLost() {
    // Another ending (Ctrl+Break, a full buffer, an earlier cancel) came first.
    if (!capturing_) return;
    Stop();
    Release();
    s_.messages.show("Recording has been terminated by the system!  Please try again!", "Attention",
                     MsgIcon::Exclamation, MsgButtons::Ok, MsgOwner::SystemModal);
}

void Recorder::Cancel() {
    Stop();
    ++generation_;
    Release();
}

bool Recorder::Save(const std::string& name, const std::vector<std::string>& listedNames) {
    Stop();
    ++generation_;
    return saveNewRecording(s_.store, buffer_, name, listedNames,
                            static_cast<std::uint32_t>(type_));
}

}  // namespace ks
