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
// run whose waits move a virtual clock. Shares mount with the password "good".
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
        return record(call + " in " + folder, !launchFails);
    }
    std::optional<MountedShare> mounted(const NetworkShare& share) override {
        const auto found = mounts.find(share.server + "/" + share.share);
        return found == mounts.end() ? std::nullopt : std::optional(found->second);
    }
    Result mount(const NetworkShare& share, const ShareLogin& login) override {
        const std::string name = share.server + "/" + share.share;
        if (login.password == "good") mounts[name] = {"/gvfs/" + share.share, login.user};
        return record("mount " + name + " as " + login.user, login.password == "good");
    }
    std::optional<ShareLogin> ask(const std::string& root,
                                  const std::function<bool()>& wanted) override {
        calls.push_back("ask " + root);
        if (answer && answer->user == "stop") EndRun();  // the run is stopped while asking
        return wanted() ? answer : std::nullopt;
    }
    void beep(int hz, int ms) override {
        record("beep " + std::to_string(hz) + "/" + std::to_string(ms));
    }
    void alert(std::uint32_t type) override { record("alert " + std::to_string(type)); }
    void openTray(std::size_t drive) override { record("open " + std::to_string(drive)); }
    void closeTray(std::size_t drive) override { record("close " + std::to_string(drive)); }
    void powerOff() override { record("power off"); }
    void reboot() override { record("reboot"); }

    RunGeneration currentRun() const override { return run; }
    void EndRun() override { run = 0; }
    void EndRun(RunGeneration) override { run = 0; }
    bool postRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool waitWhileRunning(std::chrono::milliseconds duration) override {
        clock.set(clock.wallMillis() + duration.count());
        if (whileWaiting) whileWaiting(clock.wallMillis() - kStart);
        return run != 0;
    }

    static constexpr std::int64_t kStart = 5'000'000;
    FakeClock clock{kStart};
    RunGeneration run = 1;
    std::function<void(std::int64_t)> whileWaiting;  // with the milliseconds waited
    std::map<std::string, MountedShare> mounts;
    std::optional<ShareLogin> answer;  // what the login prompt gives
    bool launchFails = false;
    std::vector<std::string> calls;

private:
    Result record(const std::string& call, bool ok = true) {
        calls.push_back(call);
        return ok ? Result::success() : Result::failure("refused");
    }
};

}  // namespace ks::test
