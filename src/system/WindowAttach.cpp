#include "system/WindowAttach.h"

namespace ks {

namespace {

bool refuse(Messages& messages, const char* text) {
    messages.show(text, "Keystrider - Error", MsgIcon::Stop);
    return false;
}

}  // namespace

// X has no input to attach: WindowControl::attachInput refuses what is gone,
// and as well the desktop and the program's own windows, which are told
// apart first so that each refusal gets its own message.
bool AttachToWindowThread(WindowControl& windows, Messages& messages, WindowId window) {
    if (windows.isDesktop(window)) return refuse(messages, "You can not manipulate the desktop!");
    if (windows.isOwnWindow(window)) {
        return refuse(messages, "You can not manipulate this application!");
    }
    return windows.attachInput(window) ||
           refuse(messages, "Unable to attach to window's message queue!");
}

}  // namespace ks
