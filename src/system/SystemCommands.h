#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/CommandDispatch.h"
#include "core/CommandId.h"
#include "core/Messages.h"
#include "expand/Expander.h"
#include "platform/Clock.h"
#include "platform/Launcher.h"
#include "platform/OpticalDrives.h"
#include "platform/Power.h"
#include "platform/ShareMounts.h"
#include "platform/Sound.h"
#include "platform/WindowControl.h"
#include "runner/RunControl.h"
#include "store/SettingsStore.h"

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
class SystemCommands {
public:
    SystemCommands(SettingsStore& store, Messages& messages, Expander& expander, RunControl& run,
                   Clock& clock, SystemServices services);

    // The commands this family answers to.
    static std::span<const CommandId> ids();
    // Failed only when WAIT FOR DRIVE MAP fails, which ends the run.
    CommandResult run(std::uint32_t id, std::string_view path);

private:
    void runProgram(std::string_view path);
    // A window matching `pattern` that shows the program runs already.
    std::optional<WindowId> runningWindow(const std::string& pattern);
    std::optional<std::string> connectedPath(const std::string& path);
    CommandResult waitForDriveMap(std::string_view path);
    void sound(std::string_view path);
    void moveTray(std::string_view path, bool open);

    std::optional<std::string> readText(std::string_view path, const char* valueName);
    std::optional<std::uint32_t> readNumber(std::string_view path, const char* valueName);
    void showError(const std::string& text);

    SettingsStore& store_;
    Messages& messages_;
    Expander& expander_;
    RunControl& run_;
    Clock& clock_;
    SystemServices services_;
};

}  // namespace ks
