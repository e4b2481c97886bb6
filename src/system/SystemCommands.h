#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/CommandFamily.h"
#include "core/Messages.h"
#include "platform/Clock.h"
#include "platform/Launcher.h"
#include "platform/OpticalDrives.h"
#include "platform/Power.h"
#include "platform/ShareMounts.h"
#include "platform/Sound.h"
#include "platform/WindowControl.h"
#include "runner/RunControl.h"

namespace ks {

// The desktop services the system commands act through.
struct SystemServices {
    WindowControl& windows;
    Launcher& launcher;
    ShareMounts& mounts;
    LoginPrompt& loginPrompt;
    Sound& sound;
    OpticalDrives& drives;
    Power& power;
};

// Which optical drive a drive letter names: D the first, E the second, and
// so on to Z. Nothing for the other letters and characters.
std::optional<std::size_t> opticalDriveOfLetter(char32_t letter);

// The commands that act on the machine and on other programs: RUN, WAIT FOR
// DRIVE MAP, SOUND, EJECT MEDIA, INSERT MEDIA, SHUTDOWN WINDOWS and REBOOT.
// Each reads its values under the command's key (`<macro>\Commands\<n>`,
// below Macros), expanding every text as it is read; a value that cannot be
// read ends the command after the store's message.
class SystemCommands final : public CommandFamily {
public:
    SystemCommands(Messages& messages, RunControl& run, Clock& clock, SystemServices services);

    // The commands this family answers to.
    std::span<const CommandId> ids() const override;
    // Failed only when WAIT FOR DRIVE MAP fails, which ends the run.
    CommandResult run(std::uint32_t id, CommandContext& command) override;

private:
    void runProgram(CommandContext& command);
    // A window matching `pattern` that shows the program runs already.
    std::optional<WindowId> runningWindow(const std::string& pattern);
    std::optional<std::string> connectedPath(const std::string& path);
    CommandResult waitForDriveMap(CommandContext& command);
    void sound(CommandContext& command);
    void moveTray(CommandContext& command, bool open);

    void showError(const std::string& text);

    Messages& messages_;
    RunControl& run_;
    Clock& clock_;
    SystemServices services_;
};

}  // namespace ks
