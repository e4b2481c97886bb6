#pragma once

#include <deque>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "core/Messages.h"

namespace ks::test {

// Records every box and answers from a script; when the script is used up
// it answers as a person pressing Enter on the default button would.
class RecordingMessages final : public Messages {
public:
    using Messages::show;
    MsgAnswer show(const MessageBox& box) override {
        shown.push_back(box);
        if (whileShown) whileShown(box);  // what happens while a modal box is open
        if (!answers.empty()) {
            const MsgAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        switch (box.buttons) {
            case MsgButtons::YesNo:
            case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
            case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
            case MsgButtons::RetryCancel: return MsgAnswer::Retry;
            default: return MsgAnswer::Ok;
        }
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& box : shown) out.push_back(box.text);
        return out;
    }
    void clear() { shown.clear(); }
    // Whether every box shown so far had this title and icon.
    bool allShownAs(const std::string& title, MsgIcon icon) const {
        for (const auto& box : shown)
            if (box.title != title || box.icon != icon) return false;
        return true;
    }

    std::vector<MessageBox> shown;
    std::deque<MsgAnswer> answers;
    std::function<void(const MessageBox&)> whileShown;
};

// A box's fields as one comparable, printable value.
inline auto boxFields(const MessageBox& box) {
    return std::tuple(box.text, box.title, box.icon, box.buttons, box.owner);
}

}  // namespace ks::test
