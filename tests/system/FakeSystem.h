#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "platform/Launcher.h"
#include "platform/OpticalDrives.h"
#include "platform/Power.h"
#include "platform/ShareMounts.h"
#include "platform/Sound.h"
#include "runner/RunControl.h"

namespace ks::test {

// Every system service as one double that records what it is asked, and a
// run whose waits move a virtual clock.
class FakeSystem final : public Launcher,
                         public ShareMounts,
                         public LoginPrompt,
                         public Sound,
                         public OpticalDrives,
                         public Power,
                         public RunControl {
public:
    Result open(const std::string& file, const std::vector<std::string>& arguments,
                const std::string& folder) override {
        std::string call = "open " + file;
        for (const auto& argument : arguments) call += " <" + argument + ">";
        calls.push_back(call + " in " + folder);
        return launchFails ? Result::failure("refused") : Result::success();
    }
    std::optional<MountedShare> mounted(const NetworkShare& share) override {
        const auto found = mounts.find(share.server + "/" + share.share);
        if (found == mounts.end()) return std::nullopt;
        return found->second;
    }
    Result mount(const NetworkShare& share, const ShareLogin& login) override {
        calls.push_back("mount " + share.server + "/" + share.share + " as " + login.user);
        const bool succeeds = !mountResults.empty() && mountResults.front();
        if (!mountResults.empty()) mountResults.erase(mountResults.begin());
        if (!succeeds) return Result::failure("refused");
        mounts[share.server + "/" + share.share] = {"/gvfs/" + share.share, login.user};
        return Result::success();
    }
    std::optional<ShareLogin> ask(const std::string& root) override {
        calls.push_back("ask " + root);
        return answer;
    }
    void beep(int hertz, int milliseconds) override {
        calls.push_back("beep " + std::to_string(hertz) + " " + std::to_string(milliseconds));
    }
    void alert(std::uint32_t type) override { calls.push_back("alert " + std::to_string(type)); }
    void openTray(std::size_t drive) override { calls.push_back("open " + std::to_string(drive)); }
    void closeTray(std::size_t drive) override {
        calls.push_back("close " + std::to_string(drive));
    }
    void powerOff() override { calls.push_back("power off"); }
    void reboot() override { calls.push_back("reboot"); }

    RunGeneration CurrentRun() const override { return run; }
    void EndRun() override { run = 0; }
    void EndRun(RunGeneration which) override {
        if (which == run) run = 0;
    }
    bool PostRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool WaitWhileRunning(std::chrono::milliseconds duration) override {
        const RunGeneration own = run;
        clock.set(clock.wallMillis() + duration.count());
        if (whileWaiting) whileWaiting(clock.wallMillis());
        return run == own;
    }

    FakeClock clock{5'000'000};
    RunGeneration run = 1;
    std::function<void(std::int64_t)> whileWaiting;
    std::map<std::string, MountedShare> mounts;
    std::vector<bool> mountResults;
    std::optional<ShareLogin> answer;  // what the login prompt gives
    bool launchFails = false;
    std::vector<std::string> calls;
};

}  // namespace ks::test
