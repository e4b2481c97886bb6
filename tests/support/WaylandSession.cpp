#include "WaylandSession.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace ks::test {
namespace {

namespace fs = std::filesystem;

bool installed(const std::string& program) {
    return ChildProcess({"sh", "-c", "command -v " + program}, "").wait(std::chrono::seconds(10)) ==
           0;
}

void giveToNobody(const fs::path& path) {
    const passwd* nobody = getpwnam("nobody");
    const group* nogroup = getgrnam("nogroup");
    if (!nobody || !nogroup || chown(path.c_str(), nobody->pw_uid, nogroup->gr_gid) != 0)
        throw std::runtime_error("cannot give " + path.string() + " to nobody");
    fs::permissions(path, fs::perms::owner_all);
}

}  // namespace

WaylandSession::WaylandSession(Compositor compositor, const std::string& swayConfig) {
    const std::string program = compositor == Compositor::Sway ? "sway" : "weston";
    if (prerequisitesMissing(program)) return;
    giveToNobody(folder_.path());
    fs::create_directory(runtimeDir());
    giveToNobody(runtimeDir());
    std::vector<std::string> command;
    if (compositor == Compositor::Sway) {
        command = {"sway", "-c", writeSwayConfig(swayConfig)};
    } else {
        command = {"weston", "--backend=headless-backend.so", "--socket=" + waylandDisplay(),
                   "--no-config"};
    }
    compositor_ = std::make_unique<ChildProcess>(
        asNobody({"HOME=" + folder_.path().string(), "XDG_RUNTIME_DIR=" + runtimeDir(),
                  "WLR_BACKENDS=headless", "WLR_HEADLESS_OUTPUTS=1", "WLR_LIBINPUT_NO_DEVICES=1",
                  "WLR_RENDERER=pixman"},
                 command),
        "", false, true);
    const bool up = eventually([&] {
        if (!fs::exists(socketPath())) return false;
        if (compositor != Compositor::Sway) return true;
        for (const auto& entry : fs::directory_iterator(runtimeDir())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("sway-ipc.") && name.ends_with(".sock"))
                swaySocket_ = entry.path().string();
        }
        return !swaySocket_.empty();
    });
    if (!up) throw std::runtime_error(program + " did not start in " + runtimeDir());
}

WaylandSession::~WaylandSession() {
    clients_.clear();
    compositor_.reset();
}

bool WaylandSession::prerequisitesMissing(const std::string& program) {
    for (const std::string& needed : {program, std::string("setpriv")})
        if (!installed(needed)) skipReason_ = needed + " is not installed";
    if (skipReason_.empty() &&
        ChildProcess(asNobody({}, {"true"}), "").wait(std::chrono::seconds(10)) != 0) {
        skipReason_ = "setpriv cannot run a program as nobody (the tests need root)";
    }
    return !skipReason_.empty();
}

std::string WaylandSession::writeSwayConfig(const std::string& extra) const {
    const std::string path = folder_.file("sway.config");
    std::ofstream(path) << "xwayland disable\n" << extra << '\n';
    return path;
}

std::vector<std::string> WaylandSession::environment() const {
    std::vector<std::string> settings{"HOME=" + folder_.path().string(),
                                      "XDG_RUNTIME_DIR=" + runtimeDir(),
                                      "WAYLAND_DISPLAY=" + waylandDisplay()};
    if (!swaySocket_.empty()) settings.push_back("SWAYSOCK=" + swaySocket_);
    return settings;
}

ChildProcess& WaylandSession::startClient(const std::vector<std::string>& argv,
                                          const std::vector<std::string>& extraEnvironment,
                                          bool captureOutput) {
    std::vector<std::string> settings = environment();
    settings.insert(settings.end(), extraEnvironment.begin(), extraEnvironment.end());
    clients_.push_back(
        std::make_unique<ChildProcess>(asNobody(settings, argv), "", captureOutput, true));
    return *clients_.back();
}

std::vector<std::string> WaylandSession::asNobody(const std::vector<std::string>& environment,
                                                  const std::vector<std::string>& argv) const {
    // setpriv changes the credentials, which clears the parent-death signal
    // ChildProcess set: ask for it again after the change.
    std::vector<std::string> command{
        "setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--pdeathsig=KILL", "env",
        "-i"};
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

}  // namespace ks::test
