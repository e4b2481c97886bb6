#include "system/WindowAttach.h"

namespace ks {

namespace {

bool refuse(Messages& messages, const char* text) {
    messages.show(text, "Keystrider - Error", MsgIcon::Stop);
    return false;
}

}  // namespace

// X has no input to attach: WindowControl::attachInput only refuses what is
// gone, and itself refuses the desktop and own windows. Those are told
// apart first, so that each refusal gets its own message.
bool AttachToWindowThread(WindowControl& windows, Messages& messages, WindowId window,
                          OwnWindows own) {
    if (windows.isDesktop(window)) return refuse(messages, "You can not manipulate the desktop!");
    if (windows.isOwnWindow(window)) {
        return own == OwnWindows::Allowed ||
               refuse(messages, "You can not manipulate this application!");
    }
    return windows.attachInput(window) ||
           refuse(messages, "Unable to attach to window's message queue!");
}

}  // namespace ks
