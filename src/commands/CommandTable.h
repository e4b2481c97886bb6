#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ks {

// The identifier stored in a command's `id` value. 1 to 255 are keystroke
// commands (the virtual-key code of the key); the named commands start at
// 0x1000. Any identifier that names no command below runs as a keystroke.
enum CommandId : std::uint32_t {
    kDelay = 0x1000,
    kReboot = 0x1001,
    kShutdownWindows = 0x1002,
    kCopyFromClipBoard = 0x1003,
    kPasteToClipBoard = 0x1004,
    kPlaybackRecording = 0x1005,
    kPause = 0x1006,
    kSendTime = 0x1007,
    kSendDate = 0x1008,
    kMessageBox = 0x1009,
    kRun = 0x100A,
    kWaitForWindow = 0x100B,
    kLeftButtonDown = 0x100C,
    kLeftButtonUp = 0x100D,
    kMiddleButtonDown = 0x100E,
    kMiddleButtonUp = 0x100F,
    kRightButtonDown = 0x1010,
    kRightButtonUp = 0x1011,
    kMoveMousePointer = 0x1012,
    kParseClipBoard = 0x1013,
    kSendKeys = 0x1014,
    kShutdownKeystrider = 0x1015,
    kCapsLockOff = 0x1016,
    kCapsLockOn = 0x1017,
    kScrollLockOff = 0x1018,
    kScrollLockOn = 0x1019,
    kNumLockOff = 0x101A,
    kNumLockOn = 0x101B,
    kCopyRemoteClipBoard = 0x1100,
    kReplaceWordOrPhrase = 0x1101,
    kSetVariable = 0x1102,
    kPromptUser = 0x1103,
    kRepeat = 0x1104,
    kLoop = 0x1105,
    kSetClock = 0x1106,
    kEjectMedia = 0x1107,
    kInsertMedia = 0x1108,
    kMoveWindow = 0x1109,
    kSizeWindow = 0x110A,
    kShowWindow = 0x110B,
    kMakeUpperCase = 0x110C,
    kMakeLowerCase = 0x110D,
    kCtrlC = 0x110E,
    kCtrlV = 0x110F,
    kCtrlX = 0x1110,
    kCtrlHome = 0x1111,
    kCtrlEnd = 0x1112,
    kAltTab = 0x1113,
    kAltEnter = 0x1114,
    kAltF4 = 0x1115,
    kAltEsc = 0x1116,
    kCtrlEsc = 0x1117,
    kCtrlZ = 0x1118,
    kCtrlA = 0x1119,
    kCtrlO = 0x111A,
    kCtrlP = 0x111B,
    kCtrlRight = 0x111C,
    kCtrlLeft = 0x111D,
    kCtrlUp = 0x111E,
    kCtrlDown = 0x111F,
    kLeftTrimWhiteSpace = 0x1120,
    kRightTrimWhiteSpace = 0x1121,
    kTrimWhiteSpace = 0x1122,
    kReplaceString = 0x1123,
    kSound = 0x1124,
    kWaitForDriveMap = 0x1125,
};

// The groups under which the macro editor offers the named commands, in the
// order of its category list.
enum class CommandCategory {
    System,
    Keyboard,
    Mouse,
    ClipBoard,
    WindowManipulation,
    DataManipulation,
    UserInterface,
    ControlLogic,
};
inline constexpr int kCategoryCount = 8;

struct CommandInfo {
    CommandId id;
    const char* name;
    CommandCategory category;
};

// Every named command, ordered by identifier.
std::span<const CommandInfo> commandTable();
// The entry of a named command; null for keystrokes and unused identifiers.
const CommandInfo* findCommand(std::uint32_t id);
bool isNamedCommand(std::uint32_t id);
// "DELAY", "SEND KEYS", …; empty when `id` names no command.
std::string_view commandName(std::uint32_t id);
std::optional<CommandCategory> commandCategory(std::uint32_t id);

// "System", "Keyboard", … as the editor lists them.
std::string_view categoryName(CommandCategory category);
// The category's commands in the order the editor lists them.
std::span<const CommandId> categoryCommands(CommandCategory category);

// How the editor and the export name a command: the command name for a named
// command, "ESC" for 27, the key's display name for other identifiers up to
// 255, and the empty text for anything else. PAUSE (4102) and the Pause key
// (19) share one text and differ only by identifier.
std::string KeyCodeToDisplayName(std::uint32_t id);

}  // namespace ks
