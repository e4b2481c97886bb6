#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ks {

enum class MsgIcon { None, Stop, Exclamation, Question, Information };

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

enum class MsgAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// Which window a box is modal to. `None` boxes belong to no window, as the
// store's failure messages do; `SystemModal` boxes stay above every window.
enum class MsgOwner { None, MainWindow, SystemModal };

struct MessageBox {
    std::string text;
    std::string title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgOwner owner = MsgOwner::None;
};

// Every message box of the program goes through this seam, so that tests can
// see what would have been shown and answer it from a script.
class Messages {
public:
    Messages() = default;
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;
    virtual ~Messages() = default;

    virtual MsgAnswer show(const MessageBox& box) = 0;

    MsgAnswer show(std::string text, std::string title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok, MsgOwner owner = MsgOwner::None) {
        return show(MessageBox{std::move(text), std::move(title), icon, buttons, owner});
    }
};

// The one line that mirrors a box on standard error: "title: text", with
// line breaks written as \n so that one box is always one line.
std::string messageLine(const MessageBox& box);

}  // namespace ks

namespace ks {

// For programs without windows: writes the box's line to standard error and
// gives the cautious answer (OK where that is the only button, otherwise
// No or Cancel).
class StderrMessages final : public Messages {
public:
    using Messages::show;
    MsgAnswer show(const MessageBox& box) override;
};

// For work done for a peer, which must not wait on the user: writes each
// box's line to standard error, keeps its text for one box shown later, and
// gives the answer StderrMessages gives.
class GatheredMessages final : public Messages {
public:
    using Messages::show;
    MsgAnswer show(const MessageBox& box) override;

    const std::vector<std::string>& texts() const { return texts_; }
    // The texts in one box with the first one's title and icon; nothing
    // when there were none.
    std::optional<MessageBox> asOneBox() const;

private:
    std::vector<std::string> texts_;
    std::optional<MessageBox> first_;
};

// Texts one per line, as one box shows several.
std::string joinedLines(const std::vector<std::string>& texts);

}  // namespace ks
