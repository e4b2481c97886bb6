#include "core/Messages.h"

namespace ks {

std::string messageLine(const MessageBox& box) {
    std::string line = box.title + ": ";
    for (char c : box.text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c != '\r') {
            line += c;
        }
    }
    return line;
}

}  // namespace ks

#include <cstdio>

namespace ks {

namespace {

MsgAnswer cautiousAnswer(const MessageBox& box) {
    switch (box.buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo: return MsgAnswer::No;
        case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
        default: return MsgAnswer::Cancel;
    }
}

}  // namespace

MsgAnswer StderrMessages::show(const MessageBox& box) {
    std::fprintf(stderr, "%s\n", messageLine(box).c_str());
    return cautiousAnswer(box);
}

MsgAnswer GatheredMessages::show(const MessageBox& box) {
    std::fprintf(stderr, "%s\n", messageLine(box).c_str());
    texts_.push_back(box.text);
    if (!first_) first_ = box;
    return cautiousAnswer(box);
}

std::optional<MessageBox> GatheredMessages::asOneBox() const {
    if (!first_) return std::nullopt;
    return MessageBox{joinedLines(texts_), first_->title, first_->icon};
}

std::string joinedLines(const std::vector<std::string>& texts) {
    std::string text;
    for (const std::string& line : texts) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace ks
