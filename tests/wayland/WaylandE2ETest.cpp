// The real keystrider on a Wayland desktop that has none of the backend's protocols.
#include <gtest/gtest.h>

#include <signal.h>

#include "TempDir.h"
#include "WaylandSession.h"

namespace ks::test {
namespace {

using std::chrono::milliseconds;

// Whether `part` is in `text` once and only once.
bool once(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos && text.find(part) == text.rfind(part);
}

// Started on weston, it runs and says once what works and what does not, at each start.
TEST(WaylandE2ETest, OnWestonTheProgramStartsAndSaysOnceWhatIsMissing) {
    WaylandSession session(WaylandSession::Compositor::Weston);
    KS_SKIP_WITHOUT(session);
    TempDir dir;
    const char* script =
        "unset DISPLAY XDG_SESSION_TYPE; export WAYLAND_DISPLAY=$1 XDG_CONFIG_HOME=$0/config "
        "TMPDIR=$0 XDG_RUNTIME_DIR=$0 QT_QPA_PLATFORM=wayland; exec \"$2\" 2>&1";
    const std::string notice = "Keystrider: Keystrider runs on Wayland (other compositor).";
    const std::string missing = "- Typing and the key commands need the virtual keyboard protocol";
    for (int start = 0; start < 2; ++start) {
        ChildProcess copy(
            {"sh", "-c", script, dir.path().string(), session.socketPath(), KS_KEYSTRIDER}, "",
            true);
        copy.readUntil([&](const std::string& out) { return once(out, missing); },
                       milliseconds(15000));
        copy.readUntil([](const std::string&) { return false; }, milliseconds(1000));
        EXPECT_TRUE(once(copy.output(), notice) && once(copy.output(), missing)) << copy.output();
        kill(copy.pid(), SIGTERM);
        EXPECT_EQ(copy.wait(milliseconds(10000)), 0) << copy.output();
    }
}

}  // namespace
}  // namespace ks::test
