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
    // Everything nobody runs starts in this folder.
    giveToNobody(folder_.path());
    if (prerequisitesMissing(program)) return;
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

ChildProcess& WaylandSession::startClient(const std::vector<std::string>& argv,
                                          const std::vector<std::string>& extraEnvironment,
                                          bool captureOutput) {
    std::vector<std::string> settings{"HOME=" + folder_.path().string(),
                                      "XDG_RUNTIME_DIR=" + runtimeDir(),
                                      "WAYLAND_DISPLAY=" + waylandDisplay()};
    if (!swaySocket_.empty()) settings.push_back("SWAYSOCK=" + swaySocket_);
    settings.insert(settings.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<std::string> command = argv;
    if (!command.empty()) command.front() = reachableByNobody(command.front());
    clients_.push_back(
        std::make_unique<ChildProcess>(asNobody(settings, command), "", captureOutput, true));
    return *clients_.back();
}

// A program built in a tree nobody may enter (a clone in a private folder)
// runs from a copy in the session's folder; the project's programs link its
// own libraries statically.
std::string WaylandSession::reachableByNobody(const std::string& program) const {
    if (!program.starts_with('/') || program.starts_with("/usr/")) return program;
    const fs::path copy = folder_.path() / fs::path(program).filename();
    if (!fs::exists(copy)) {
        fs::copy_file(program, copy);
        fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    }
    return copy.string();
}

std::vector<std::string> WaylandSession::asNobody(const std::vector<std::string>& environment,
                                                  const std::vector<std::string>& argv) const {
    // setpriv changes the credentials, which clears the parent-death signal
    // ChildProcess set: ask for it again after the change.
    std::vector<std::string> command{"setpriv",
                                     "--reuid=nobody",
                                     "--regid=nogroup",
                                     "--clear-groups",
                                     "--pdeathsig=KILL",
                                     "env",
                                     "-i",
                                     "-C",
                                     folder_.path().string()};
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

}  // namespace ks::test
