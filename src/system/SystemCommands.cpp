#include "system/SystemCommands.h"

#include <array>
#include <filesystem>

#include "core/Utf8.h"
#include "keys/WindowActivation.h"
#include "system/ConditionWait.h"
#include "system/NetworkShares.h"
#include "system/ShellWords.h"
#include "system/Wildcard.h"

namespace ks {

namespace {

constexpr std::array kIds{kRun,         kWaitForDriveMap, kSound, kEjectMedia,
                          kInsertMedia, kShutdownWindows, kReboot};

constexpr std::uint32_t kDefaultBeep = 0xFFFFFFFF;  // -1 as stored

// The drive letter of "D", "D:" or "D:\"; nothing for any other text.
std::optional<char32_t> driveLetter(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const utf8::CodePoint letter = utf8::decode(text, 0);
    const std::string_view rest = text.substr(letter.length);
    if (rest.empty() || rest == ":" || rest == ":\\") return letter.value;
    return std::nullopt;
}

// A folder path as the time-out message shows it: ending in its separator.
std::string withSeparator(std::string path) {
    const char separator = parseNetworkPath(path) ? '\\' : '/';
    if (path.empty() || path.back() != separator) path.push_back(separator);
    return path;
}

}  // namespace

std::optional<std::size_t> opticalDriveOfLetter(char32_t letter) {
    if (letter >= U'a' && letter <= U'z') letter -= U'a' - U'A';
    if (letter < U'D' || letter > U'Z') return std::nullopt;
    return static_cast<std::size_t>(letter - U'D');
}

SystemCommands::SystemCommands(Messages& messages, RunControl& run, Clock& clock,
                               SystemServices services)
    : messages_(messages), run_(run), clock_(clock), services_(services) {}

std::span<const CommandId> SystemCommands::ids() const {
    return kIds;
}

CommandResult SystemCommands::run(std::uint32_t id, CommandContext& command) {
    switch (id) {
        case kRun: runProgram(command); break;
        case kWaitForDriveMap: return waitForDriveMap(command);
        case kSound: sound(command); break;
        case kEjectMedia: moveTray(command, true); break;
        case kInsertMedia: moveTray(command, false); break;
        case kShutdownWindows: services_.power.powerOff(); break;
        case kReboot: services_.power.reboot(); break;
        default: break;
    }
    return CommandResult::Next;
}

void SystemCommands::showError(const std::string& text) {
    messages_.show(text, "Error", MsgIcon::Stop);
}

void SystemCommands::runProgram(CommandContext& command) {
    const auto file = command.text("FileName");
    if (!file) return;
    const auto arguments = command.text("Arguments");
    if (!arguments) return;
    const auto folder = command.text("DirName");
    if (!folder) return;
    const auto pattern = command.text("WindowName");
    if (!pattern) return;
    const auto showStyle = command.number("ShowStyle");
    if (!showStyle) return;
    const auto runIfOpen = command.number("RunIfOpen");
    if (!runIfOpen) return;

    if (*runIfOpen != 1) {
        if (const auto window = runningWindow(*pattern)) {
            activateWindow(services_.windows, messages_, *window,
                           static_cast<ShowCommand>(*showStyle));
            return;
        }
    }
    const RunGeneration own = run_.currentRun();
    const auto localFile = connectedPath(*file);
    if (!localFile) return;
    const auto localFolder = connectedPath(*folder);
    if (!localFolder) return;
    // A stop while a login was asked for closes the question: nothing starts.
    if (run_.currentRun() != own) return;
    const auto words = splitShellWords(*arguments);
    if (!words || !services_.launcher.open(*localFile, *words, *localFolder)) {
        showError("Error running: " + *file);
    }
}

std::optional<WindowId> SystemCommands::runningWindow(const std::string& pattern) {
    const std::string upperPattern = utf8::upper(pattern);
    for (const TopLevelWindow& window : services_.windows.topLevelWindows()) {
        if (MatchWildcard(utf8::upper(window.title), upperPattern)) return window.id;
    }
    return std::nullopt;
}

std::optional<std::string> SystemCommands::connectedPath(const std::string& path) {
    ShareServices shares{services_.mounts, services_.loginPrompt, messages_,
                         [this, own = run_.currentRun()] { return run_.currentRun() == own; }};
    auto local = ConnectShare(shares, path, ShareLogin{});
    // A login closed by a stop needs no message: the run is over.
    if (!local && shares.runGoesOn()) {
        showError("Unable to connect to server specified in: " + path);
    }
    return local;
}

CommandResult SystemCommands::waitForDriveMap(CommandContext& command) {
    const auto drive = command.text("WaitDriveName");
    if (!drive) return CommandResult::Next;
    const auto timeoutText = command.text("WaitDriveTimeOut");
    if (!timeoutText) return CommandResult::Next;
    const auto timeout = waitSeconds(*timeoutText, "WAIT FOR DRIVE MAP", messages_);
    if (!timeout) return CommandResult::Failed;
    const auto abortOnFail = command.number("AbortOnFail");
    if (!abortOnFail) return CommandResult::Next;
    const auto waitForConnect = command.number("WaitForConnect");
    if (!waitForConnect) return CommandResult::Next;

    const std::string folder = withSeparator(*drive);
    const auto reachable = [this, &folder] {
        const auto local = localPath(services_.mounts, folder);
        std::error_code error;
        return local && std::filesystem::is_directory(*local, error);
    };
    const auto met = [&reachable, connect = *waitForConnect] {
        if (connect == 1) return reachable();
        if (connect == 0) return !reachable();
        return false;
    };
    const WaitLimit limit = commandWaitLimit("WAIT FOR DRIVE MAP", *timeout, folder);
    return afterWait(waitForCondition(run_, clock_, messages_, limit, met), *abortOnFail);
}

void SystemCommands::sound(CommandContext& command) {
    const auto id = command.number("SoundID");
    if (!id) return;
    if (*id == kDefaultBeep) {
        services_.sound.beep(1000, 300);
    } else {
        services_.sound.alert(*id);
    }
}

void SystemCommands::moveTray(CommandContext& command, bool open) {
    const auto text = command.text("DriveLetter");
    if (!text) return;
    const auto letter = driveLetter(*text);
    if (!letter) {
        messages_.show("Invalid drive letter.", "Keystrider - Attention", MsgIcon::None);
        return;
    }
    const auto drive = opticalDriveOfLetter(*letter);
    if (!drive) return;
    if (open) {
        services_.drives.openTray(*drive);
    } else {
        services_.drives.closeTray(*drive);
    }
}

}  // namespace ks
