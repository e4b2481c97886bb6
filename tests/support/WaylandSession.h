#pragma once

#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "XvfbSession.h"

namespace ks::test {

// A private headless Wayland compositor, run as the unprivileged user nobody
// (sway refuses root, and CI runs as root) in a runtime folder of its own
// (0700, owned by nobody) with Xwayland off. Root clients, the tests
// themselves, reach it through socketPath(); clients started through
// startClient() run as nobody with its environment. Everything it started
// ends with it, and its folder goes.
class WaylandSession {
public:
    enum class Compositor {
        Sway,    // wlroots: virtual keyboard and pointer, foreign toplevels, data control
        Weston,  // none of those protocols
    };
    // `swayConfig` is added to sway's configuration. When the compositor or
    // setpriv is missing, or privileges cannot be dropped, skipReason() says
    // so and nothing runs; a compositor that does not come up throws
    // std::runtime_error.
    explicit WaylandSession(Compositor compositor = Compositor::Sway,
                            const std::string& swayConfig = {});
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // Empty when the compositor runs.
    const std::string& skipReason() const { return skipReason_; }
    std::string runtimeDir() const { return folder_.file("run"); }  // XDG_RUNTIME_DIR
    std::string waylandDisplay() const { return "wayland-1"; }      // WAYLAND_DISPLAY
    std::string socketPath() const { return runtimeDir() + "/" + waylandDisplay(); }
    // sway's IPC socket (SWAYSOCK); empty on weston.
    const std::string& swaySocket() const { return swaySocket_; }

    // Starts `argv` as nobody in this session with its environment (HOME,
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY, SWAYSOCK) and `extraEnvironment`
    // (NAME=value) added; it ends, with what it started, before the compositor.
    ChildProcess& startClient(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extraEnvironment = {},
                              bool captureOutput = false);

private:
    std::string reachableByNobody(const std::string& program) const;
    std::vector<std::string> asNobody(const std::vector<std::string>& environment,
                                      const std::vector<std::string>& argv) const;
    bool prerequisitesMissing(const std::string& program);
    std::string writeSwayConfig(const std::string& extra) const;

    std::string skipReason_;
    TempDir folder_;
    std::string swaySocket_;
    std::unique_ptr<ChildProcess> compositor_;
    std::vector<std::unique_ptr<ChildProcess>> clients_;  // end before the compositor
};

// Skips the running test when `session` could not start for want of a program or rights.
#define KS_SKIP_WITHOUT(session) \
    if (!(session).skipReason().empty()) GTEST_SKIP() << (session).skipReason()

}  // namespace ks::test
