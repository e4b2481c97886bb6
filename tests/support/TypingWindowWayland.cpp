#include "TypingWindow.h"
#include "WaylandSession.h"

namespace ks::test {

TypingWindow::TypingWindow(WaylandSession& session, const std::string& title, bool reportTimes)
    : process_(&session.startClient({KS_TYPING_WINDOW_PATH, title, reportTimes ? "times" : ""},
                                    {"QT_QPA_PLATFORM=wayland"}, true)) {
    awaitReady();
}

}  // namespace ks::test
