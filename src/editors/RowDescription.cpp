#include "editors/RowDescription.h"

#include <utility>

#include "commands/CommandTable.h"
#include "core/CommandId.h"

namespace ks {

namespace {

// The value a row shows in brackets after the name.
constexpr std::pair<CommandId, const char*> kShownValue[] = {
    {kMessageBox, "WindowTitle"},
    {kRun, "FileName"},
    {kWaitForWindow, "WaitWindowName"},
    {kWaitForDriveMap, "WaitDriveName"},
    {kParseClipBoard, "Delimiter"},
    {kCopyRemoteClipBoard, "IPAddress"},
    {kSetVariable, "Name"},
    {kPromptUser, "WindowCaption"},
    {kEjectMedia, "DriveLetter"},
    {kInsertMedia, "DriveLetter"},
    {kMoveWindow, "WindowName"},
    {kSizeWindow, "WindowName"},
    {kShowWindow, "WindowName"},
    {kMakeUpperCase, "VarName"},
    {kMakeLowerCase, "VarName"},
    {kLeftTrimWhiteSpace, "VarName"},
    {kRightTrimWhiteSpace, "VarName"},
    {kTrimWhiteSpace, "VarName"},
    {kReplaceString, "VarName"},
    {kPlaybackRecording, "JournalName"},
};

std::string bracketed(const std::string& name, const std::string& inside) {
    return name + " (" + inside + ")";
}

}  // namespace

std::string rowDescription(const CommandRecord& command) {
    const std::string name = KeyCodeToDisplayName(command.id);
    const auto text = [&](const char* value) { return command.text(value); };
    switch (command.id) {
        case kDelay: return name + " " + text("DelayInterval") + " millisecond(s)";
        case kCopyFromClipBoard:
        case kPasteToClipBoard: return name + " ID: " + text("BufName");
        case kRepeat: return bracketed(name, text("NumReps") + " time(s)");
        case kMoveMousePointer:
            return command.number("IsAB").value_or(0) == 1
                       ? bracketed(name, "AB:" + text("XABCoord") + "," + text("YABCoord"))
                       : bracketed(name, "REL:" + text("XRELCoord") + "," + text("YRELCoord"));
        default: break;
    }
    for (const auto& [id, value] : kShownValue) {
        if (id == command.id) return bracketed(name, text(value));
    }
    if (command.id >= 1 && command.id <= 255) {
        return bracketed(name, command.number("KeyPressed").value_or(0) == 2 ? "Up" : "Down");
    }
    return name;
}

}  // namespace ks
