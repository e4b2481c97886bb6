#include "keys/WindowActivation.h"

namespace ks {
namespace {

void showError(Messages& messages, const char* text) {
    messages.show(text, "Error", MsgIcon::Stop);
}

}  // namespace

void activateWindow(WindowControl& windows, Messages& messages, WindowId window,
                    ShowCommand command) {
    // Told apart before attaching, which refuses it: leaving the program's
    // own window as it is is no failure.
    if (windows.isOwnWindow(window)) return;
    if (!windows.attachInput(window)) {
        showError(messages, "Unable to attach to window you selected to start in!");
        return;
    }
    if (windows.foreground() != window && !windows.setForeground(window)) {
        showError(messages, "Unable to bring the selected window to the foreground!");
    } else if (!windows.show(window, command)) {
        showError(messages, "Unable to show the selected window!");
    }
    windows.detachInput(window);
}

}  // namespace ks
