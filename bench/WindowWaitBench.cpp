// The CPU time WAIT FOR WINDOW costs while it waits: a macro of one WAIT FOR
// WINDOW for a title that never appears, with a 9-second time-out (it gives
// up once more than 9 whole seconds have passed, after about 10 s), run by
// the real runner on a private Xvfb with openbox and 20 other windows open.
// Reported: this process's CPU time, and the X server's and window
// manager's, as shares of one core over the wait; the latter also over as
// long a time before, with nothing waiting, as their idle baseline.
#include <QCoreApplication>

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "XvfbSession.h"
#include "platform/x11/X11Platform.h"
#include "runner/MessageQueue.h"
#include "store/SettingsStore.h"
#include "system/WindowCommands.h"

// Last: Xlib's macros (None, Status) would replace names in the headers above.
#include <X11/Xlib.h>

namespace {

// User and system time of this process's children (the X server and the
// window manager), from /proc.
double childrenCpuSeconds() {
    double total = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream file(entry.path() / "stat");
        std::string line;
        if (!std::getline(file, line)) continue;
        // Fields after the command's closing parenthesis: state, ppid, … utime (14), stime (15).
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        std::string field;
        long values[13] = {};
        rest >> field;
        for (long& value : values) rest >> value;
        if (values[0] == getpid()) {
            total += static_cast<double>(values[10] + values[11]) /
                     static_cast<double>(sysconf(_SC_CLK_TCK));
        }
    }
    return total;
}

// Twenty windows from a process of their own (the program leaves its own
// windows out of its lists), until it is killed.
pid_t showOtherWindows(const std::string& display) {
    const pid_t child = fork();
    if (child != 0) return child;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    Display* others = XOpenDisplay(display.c_str());
    for (int i = 0; i < 20; ++i) {
        const Window window = XCreateSimpleWindow(others, DefaultRootWindow(others), 10 * i, 10 * i,
                                                  200, 100, 0, 0, 0xffffff);
        XStoreName(others, window, ("Other window " + std::to_string(i)).c_str());
        XMapWindow(others, window);
    }
    XSync(others, False);
    pause();
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ks::test::XvfbSession session;
    const pid_t others = showOtherWindows(session.display());
    auto platform = ks::x11::X11Platform::open(session.display());
    if (!platform) {
        std::fprintf(stderr, "%s\n", platform.error().c_str());
        return 1;
    }
    for (int tries = 0; tries < 100 && (*platform)->windows().topLevelWindows().size() < 20;
         ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ks::bench::RunnerRig rig;
    auto& store = rig.store;
    ks::WindowCommands commands(rig.messages, rig.runner, rig.clock, (*platform)->windows());
    rig.dispatch.add(commands);
    rig.runner.setPassStartWait(std::chrono::milliseconds(0));
    const std::string key = std::string(ks::kDirectRoot) + "Macros\\wait\\Commands\\0";
    store.SetDword(key, "id", ks::kWaitForWindow);
    store.SetText(key, "WaitWindowName", "NEVER*");
    store.SetText(key, "WaitWindowTimeOut", "9");
    store.SetText(key, "NumWins", "1");
    store.SetDword(key, "WaitForOpen", 1);
    store.SetDword(key, "AbortOnFail", 0);

    const double idleBefore = childrenCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double idle = childrenCpuSeconds() - idleBefore;

    const double ownBefore = ks::bench::processCpuSeconds(), childrenBefore = childrenCpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    rig.runMacro("wait");
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double own = ks::bench::processCpuSeconds() - ownBefore,
                 children = childrenCpuSeconds() - childrenBefore;
    std::printf(
        "WAIT FOR WINDOW, %zu windows listed: %.2f s waited; this process %.1f ms CPU = %.3f %% "
        "of one core; X server and window manager %.1f ms = %.3f %% (idle: %.3f %%)\n",
        (*platform)->windows().topLevelWindows().size(), wall, own * 1000.0, 100.0 * own / wall,
        children * 1000.0, 100.0 * children / wall, 100.0 * idle / 10.0);
    kill(others, SIGKILL);
    waitpid(others, nullptr, 0);
    return 0;
}
