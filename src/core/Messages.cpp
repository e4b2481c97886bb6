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

MsgAnswer StderrMessages::show(const MessageBox& box) {
    std::fprintf(stderr, "%s\n", messageLine(box).c_str());
    switch (box.buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo: return MsgAnswer::No;
        case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
        default: return MsgAnswer::Cancel;
    }
}

}  // namespace ks
