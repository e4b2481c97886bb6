#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "journal/JournalEvent.h"
#include "platform/CancelWatch.h"
#include "platform/InputCapture.h"
#include "platform/Keymap.h"
#include "platform/WindowControl.h"
#include "store/SettingsStore.h"

namespace ks {

// A window the user may start recording in, as the recorder lists it.
struct RecorderWindow {
    WindowId id = 0;
    std::string caption;
};

// The visible top-level windows, topmost first, each captioned with its
// title less trailing blanks. An untitled window is "Task Bar" when it is a
// desktop panel, and otherwise takes the caption of the topmost window.
std::vector<RecorderWindow> recorderWindowList(WindowControl& windows);

// What the recorder needs of the dialog it belongs to.
class RecorderHost {
public:
    RecorderHost() = default;
    RecorderHost(const RecorderHost&) = delete;
    RecorderHost& operator=(const RecorderHost&) = delete;
    virtual ~RecorderHost() = default;

    // Runs `task` on the GUI thread once the current event has been handled.
    virtual void post(std::function<void()> task) = 0;
    // Brings the recorder's dialog to the foreground.
    virtual void raiseDialog() = 0;
    // Minimises the main window without activating it, or shows it normally again.
    virtual void minimizeMainWindow(bool minimized) = 0;
    // Closes the dialog as its Cancel button does.
    virtual void closeDialog() = 0;
};

// The capture behind the recorder's dialog: starting it in the window the
// user picked, collecting the desktop's input as journal events of the
// chosen classes until Ctrl+Break, and saving them as a new recording.
class Recorder {
public:
    struct Services {
        SettingsStore& store;
        Messages& messages;
        WindowControl& windows;
        Keymap& keymap;
        InputCapture& capture;
        // The user's cancel gesture ends a capture as a lost one does.
        CancelWatch& cancelWatch;
    };

    // The buffer starts with room for this many events and grows by as many.
    static constexpr std::size_t kBufferStep = 10000;
    // Above this the buffer does not grow: a capture left running cannot
    // take all memory (10 million events are 200 MB, hours of input).
    static constexpr std::size_t kDefaultEventLimit = 10'000'000;

    Recorder(Services services, RecorderHost& host, std::size_t eventLimit = kDefaultEventLimit);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void setType(RecordingType type) { type_ = type; }
    RecordingType type() const { return type_; }
    void setMinimize(bool on) { minimize_ = on; }
    bool minimize() const { return minimize_; }

    // "Record": stops a capture under way, makes `window` the foreground
    // window and starts capturing once that has taken effect.
    void Record(std::optional<WindowId> window);
    // "Cancel": stops and forgets the events.
    void Cancel();
    // "Save": stops and writes the events as the recording `name`; true when
    // it was written and the dialog may close.
    bool Save(const std::string& name, const std::vector<std::string>& listedNames);

    bool capturing() const { return capturing_; }
    // The events captured so far; null before the first capture and after
    // the buffer was released.
    const std::vector<JournalEvent>* events() const { return buffer_ ? &*buffer_ : nullptr; }
    std::size_t capacity() const { return buffer_ ? buffer_->capacity() : 0; }

private:
    // Posts `step` to run on the GUI thread unless the user has moved on
    // (Record again, Cancel, Save) by then.
    void postForThisCapture(void (Recorder::*step)());
    void startCapture();
    void Stop();
    void Release() { buffer_.reset(); }
    bool reserve(std::size_t events);
    void Receive(const CapturedInput* inputs, std::size_t count);
    bool Store(const JournalEvent& event);
    void stopRequested();
    void growthFailed();
    // The display or the user's cancel gesture ended the capture.
    void captureEnded();
    void captureLost();

    Services s_;
    RecorderHost& host_;
    std::size_t eventLimit_;
    RecordingType type_ = RecordingType::KeyboardAndMouse;
    bool minimize_ = false;
    std::optional<std::vector<JournalEvent>> buffer_;
    std::shared_ptr<const KeyLayout> layout_;
    std::optional<WindowId> attached_;
    bool capturing_ = false;
    bool minimized_ = false;
    // Set when the buffer could not grow: nothing more is stored until the
    // failure has been handled.
    bool growthFailed_ = false;
    unsigned generation_ = 0;
};

}  // namespace ks
