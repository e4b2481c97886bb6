#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "RecordingMessages.h"
#include "journal/Recorder.h"
#include "platform/CancelWatch.h"
#include "platform/InputCapture.h"

namespace ks::test {

// Each message box shown, as "title: text".
inline std::vector<std::string> boxes(const RecordingMessages& messages) {
    std::vector<std::string> out;
    for (const auto& box : messages.shown) out.push_back(box.title + ": " + box.text);
    return out;
}

// A capture the test feeds by hand.
class FakeCapture final : public InputCapture {
public:
    bool start(EventsHandler onEvents, LostHandler onLost) override {
        ++starts;
        events_ = std::move(onEvents);
        lost_ = std::move(onLost);
        return capturing = !refuse;
    }
    void stop() override { capturing = false; }
    bool absolutePositions() const override { return absolute; }

    // Hands `inputs` over as one block, as far as the capture runs.
    void deliver(const std::vector<CapturedInput>& inputs) {
        if (capturing) events_(inputs.data(), inputs.size());
    }
    void lose() {
        capturing = false;
        lost_();
    }

    bool capturing = false;
    bool refuse = false;
    bool absolute = true;
    int starts = 0;

private:
    EventsHandler events_;
    LostHandler lost_;
};

// A cancel watch the test starts failing or fires by hand.
class ScriptedCancelWatch final : public CancelWatch {
public:
    bool start(Handler onCancel) override {
        if (startable) handler_ = std::move(onCancel);
        return startable;
    }
    void stop() override { handler_ = nullptr; }
    void fire() {
        if (const Handler onCancel = handler_) onCancel();  // the handler may stop the watch
    }
    bool watching() const { return static_cast<bool>(handler_); }

    bool startable = true;

private:
    Handler handler_;
};

// The dialog side: posted tasks wait until the test runs them.
class FakeRecorderHost final : public RecorderHost {
public:
    void post(std::function<void()> task) override { posted.push_back(std::move(task)); }
    void raiseDialog() override { calls.push_back("raise"); }
    void minimizeMainWindow(bool minimized) override {
        calls.push_back(minimized ? "minimize" : "restore");
    }
    void closeDialog() override { calls.push_back("close"); }

    void runPosted() {
        while (!posted.empty()) {
            auto task = std::move(posted.front());
            posted.pop_front();
            task();
        }
    }

    std::deque<std::function<void()>> posted;
    std::vector<std::string> calls;
};

}  // namespace ks::test
