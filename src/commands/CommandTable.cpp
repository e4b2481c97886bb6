#include "commands/CommandTable.h"

#include <algorithm>
#include <array>

namespace ks {

namespace {

using Cat = CommandCategory;

constexpr std::array<CommandInfo, 66> kCommands = {{
    {kDelay, "DELAY", Cat::ControlLogic},
    {kReboot, "REBOOT", Cat::System},
    {kShutdownWindows, "SHUTDOWN WINDOWS", Cat::System},
    {kCopyFromClipBoard, "COPY FROM CLIP BOARD", Cat::ClipBoard},
    {kPasteToClipBoard, "PASTE TO CLIP BOARD", Cat::ClipBoard},
    {kPlaybackRecording, "PLAYBACK RECORDING", Cat::System},
    {kPause, "PAUSE", Cat::UserInterface},
    {kSendTime, "SEND TIME", Cat::Keyboard},
    {kSendDate, "SEND DATE", Cat::Keyboard},
    {kMessageBox, "MESSAGE BOX", Cat::UserInterface},
    {kRun, "RUN", Cat::System},
    {kWaitForWindow, "WAIT FOR WINDOW", Cat::ControlLogic},
    {kLeftButtonDown, "LEFT BUTTON DOWN", Cat::Mouse},
    {kLeftButtonUp, "LEFT BUTTON UP", Cat::Mouse},
    {kMiddleButtonDown, "MIDDLE BUTTON DOWN", Cat::Mouse},
    {kMiddleButtonUp, "MIDDLE BUTTON UP", Cat::Mouse},
    {kRightButtonDown, "RIGHT BUTTON DOWN", Cat::Mouse},
    {kRightButtonUp, "RIGHT BUTTON UP", Cat::Mouse},
    {kMoveMousePointer, "MOVE MOUSE POINTER", Cat::Mouse},
    {kParseClipBoard, "PARSE CLIP BOARD", Cat::ClipBoard},
    {kSendKeys, "SEND KEYS", Cat::Keyboard},
    {kShutdownKeystrider, "SHUTDOWN KEYSTRIDER", Cat::System},
    {kCapsLockOff, "CAPS LOCK OFF", Cat::Keyboard},
    {kCapsLockOn, "CAPS LOCK ON", Cat::Keyboard},
    {kScrollLockOff, "SCROLL LOCK OFF", Cat::Keyboard},
    {kScrollLockOn, "SCROLL LOCK ON", Cat::Keyboard},
    {kNumLockOff, "NUM LOCK OFF", Cat::Keyboard},
    {kNumLockOn, "NUM LOCK ON", Cat::Keyboard},
    {kCopyRemoteClipBoard, "COPY REMOTE CLIP BOARD", Cat::ClipBoard},
    {kReplaceWordOrPhrase, "REPLACE WORD OR PHRASE", Cat::Keyboard},
    {kSetVariable, "SET VARIABLE", Cat::DataManipulation},
    {kPromptUser, "PROMPT USER", Cat::UserInterface},
    {kRepeat, "REPEAT", Cat::ControlLogic},
    {kLoop, "LOOP", Cat::ControlLogic},
    {kSetClock, "SET CLOCK", Cat::System},
    {kEjectMedia, "EJECT MEDIA", Cat::System},
    {kInsertMedia, "INSERT MEDIA", Cat::System},
    {kMoveWindow, "MOVE WINDOW", Cat::WindowManipulation},
    {kSizeWindow, "SIZE WINDOW", Cat::WindowManipulation},
    {kShowWindow, "SHOW WINDOW", Cat::WindowManipulation},
    {kMakeUpperCase, "MAKE UPPER CASE", Cat::DataManipulation},
    {kMakeLowerCase, "MAKE LOWER CASE", Cat::DataManipulation},
    {kCtrlC, "CTRL+C", Cat::Keyboard},
    {kCtrlV, "CTRL+V", Cat::Keyboard},
    {kCtrlX, "CTRL+X", Cat::Keyboard},
    {kCtrlHome, "CTRL+HOME", Cat::Keyboard},
    {kCtrlEnd, "CTRL+END", Cat::Keyboard},
    {kAltTab, "ALT+TAB", Cat::Keyboard},
    {kAltEnter, "ALT+ENTER", Cat::Keyboard},
    {kAltF4, "ALT+F4", Cat::Keyboard},
    {kAltEsc, "ALT+ESC", Cat::Keyboard},
    {kCtrlEsc, "CTRL+ESC", Cat::Keyboard},
    {kCtrlZ, "CTRL+Z", Cat::Keyboard},
    {kCtrlA, "CTRL+A", Cat::Keyboard},
    {kCtrlO, "CTRL+O", Cat::Keyboard},
    {kCtrlP, "CTRL+P", Cat::Keyboard},
    {kCtrlRight, "CTRL+RIGHT", Cat::Keyboard},
    {kCtrlLeft, "CTRL+LEFT", Cat::Keyboard},
    {kCtrlUp, "CTRL+UP", Cat::Keyboard},
    {kCtrlDown, "CTRL+DOWN", Cat::Keyboard},
    {kLeftTrimWhiteSpace, "LEFT TRIM WHITE SPACE", Cat::DataManipulation},
    {kRightTrimWhiteSpace, "RIGHT TRIM WHITE SPACE", Cat::DataManipulation},
    {kTrimWhiteSpace, "TRIM WHITE SPACE", Cat::DataManipulation},
    {kReplaceString, "REPLACE STRING", Cat::DataManipulation},
    {kSound, "SOUND", Cat::UserInterface},
    {kWaitForDriveMap, "WAIT FOR DRIVE MAP", Cat::ControlLogic},
}};

constexpr std::array kSystem = {kPlaybackRecording,  kRun,        kReboot,      kShutdownWindows,
                                kShutdownKeystrider, kEjectMedia, kInsertMedia, kSetClock};
constexpr std::array kKeyboard = {kSendKeys,      kCtrlC,     kCtrlV,      kCtrlX,
                                  kCtrlZ,         kCtrlA,     kCtrlO,      kCtrlP,
                                  kCtrlHome,      kCtrlEnd,   kCtrlEsc,    kCtrlRight,
                                  kCtrlLeft,      kCtrlUp,    kCtrlDown,   kAltTab,
                                  kAltEnter,      kAltF4,     kAltEsc,     kCapsLockOn,
                                  kCapsLockOff,   kNumLockOn, kNumLockOff, kScrollLockOn,
                                  kScrollLockOff, kSendDate,  kSendTime,   kReplaceWordOrPhrase};
constexpr std::array kMouse = {kLeftButtonDown,  kLeftButtonUp,  kMiddleButtonDown, kMiddleButtonUp,
                               kRightButtonDown, kRightButtonUp, kMoveMousePointer};
constexpr std::array kClipBoard = {kCopyFromClipBoard, kPasteToClipBoard, kCopyRemoteClipBoard,
                                   kParseClipBoard};
constexpr std::array kWindowManipulation = {kMoveWindow, kShowWindow, kSizeWindow};
constexpr std::array kDataManipulation = {
    kMakeUpperCase,  kMakeLowerCase, kLeftTrimWhiteSpace, kRightTrimWhiteSpace,
    kTrimWhiteSpace, kReplaceString, kSetVariable};
constexpr std::array kUserInterface = {kMessageBox, kPromptUser, kPause, kSound};
constexpr std::array kControlLogic = {kDelay, kWaitForWindow, kWaitForDriveMap, kRepeat, kLoop};

struct CategoryEntry {
    const char* name;
    std::span<const CommandId> commands;
};

constexpr std::array<CategoryEntry, kCategoryCount> kCategories = {{
    {"System", kSystem},
    {"Keyboard", kKeyboard},
    {"Mouse", kMouse},
    {"Clip Board", kClipBoard},
    {"Window Manipulation", kWindowManipulation},
    {"Data Manipulation", kDataManipulation},
    {"User Interface", kUserInterface},
    {"Control Logic", kControlLogic},
}};

constexpr std::uint32_t kEscapeKey = 27;
constexpr std::uint32_t kLastKeyCode = 255;

}  // namespace

std::span<const CommandInfo> commandTable() {
    return kCommands;
}

const CommandInfo* findCommand(std::uint32_t id) {
    const auto it =
        std::lower_bound(kCommands.begin(), kCommands.end(), id,
                         [](const CommandInfo& info, std::uint32_t key) { return info.id < key; });
    return it != kCommands.end() && it->id == id ? &*it : nullptr;
}

bool isNamedCommand(std::uint32_t id) {
    return findCommand(id) != nullptr;
}

std::string_view commandName(std::uint32_t id) {
    const CommandInfo* info = findCommand(id);
    return info != nullptr ? info->name : std::string_view();
}

std::optional<CommandCategory> commandCategory(std::uint32_t id) {
    const CommandInfo* info = findCommand(id);
    if (info == nullptr) return std::nullopt;
    return info->category;
}

std::string_view categoryName(CommandCategory category) {
    return kCategories[static_cast<std::size_t>(category)].name;
}

std::span<const CommandId> categoryCommands(CommandCategory category) {
    return kCategories[static_cast<std::size_t>(category)].commands;
}

std::string KeyCodeToDisplayName(std::uint32_t id, KeyDisplayNames& keys) {
    if (const CommandInfo* info = findCommand(id)) return info->name;
    if (id == kEscapeKey) return "ESC";
    if (id >= 1 && id <= kLastKeyCode) return keys.keyDisplayName(id);
    return {};
}

}  // namespace ks
