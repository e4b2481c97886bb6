#include "interchange/ValueTable.h"

#include <array>
#include <limits>

#include "core/CommandId.h"
#include "core/Utf8.h"

namespace ks {

namespace {

constexpr ValueKind N = ValueKind::Number;
constexpr ValueKind T = ValueKind::Text;

constexpr ValueSpec vKeystroke[] = {{"KeyPressed", N}};
constexpr ValueSpec vDelay[] = {{"DelayInterval", T}};
constexpr ValueSpec vCopyFrom[] = {{"BufName", T}};
constexpr ValueSpec vPaste[] = {{"BufName", T}, {"DefPasteString", T}};
constexpr ValueSpec vPlayback[] = {{"JournalName", T}, {"PlayBackEvent", N}, {"PlayBackSpeed", T}};
constexpr ValueSpec vDateTime[] = {{"UseGMT", N}};
constexpr ValueSpec vDateTimePart[] = {
    {"Format", N}, {"Include", N}, {"Order", N}, {"Append", T}, {"Prepend", T}};
constexpr ValueSpec vMessageBox[] = {
    {"MessageBody", T},        {"WindowTitle", T}, {"TimeOut", T},
    {"MsgBoxType", N},         {"MsgBoxPos", N},   {"MsgBoxSetFocus", N},
    {"MsgBoxSetForeground", N}};
constexpr ValueSpec vRun[] = {{"Arguments", T},  {"DirName", T},   {"FileName", T},
                              {"WindowName", T}, {"RunIfOpen", N}, {"ShowStyle", N}};
constexpr ValueSpec vWaitWindow[] = {{"WaitWindowName", T},
                                     {"WaitWindowTimeout", T},
                                     {"AbortOnFail", N},
                                     {"WaitForOpen", N},
                                     {"NumWins", T}};
constexpr ValueSpec vMoveMouse[] = {
    {"IsAB", N}, {"XABCoord", T}, {"XRELCoord", T}, {"YABCoord", T}, {"YRELCoord", T}};
constexpr ValueSpec vParse[] = {{"Delimiter", T}};
constexpr ValueSpec vSendKeys[] = {{"Keys", T}};
constexpr ValueSpec vRemoteClip[] = {{"BufName", T}, {"IPAddress", T}, {"Port", T}};
constexpr ValueSpec vReplaceWord[] = {{"Text", T}};
constexpr ValueSpec vSetVariable[] = {{"Name", T}, {"Value", T}};
constexpr ValueSpec vPrompt[] = {{"WindowCaption", T}};
constexpr ValueSpec vPromptBox[] = {{"Caption", T}, {"Height", T}, {"MultiLine", T}, {"VName", T},
                                    {"Width", T},   {"X", T},      {"Y", T}};
constexpr ValueSpec vRepeatValues[] = {{"NumReps", T}};
constexpr ValueSpec vMedia[] = {{"DriveLetter", T}};
constexpr ValueSpec vMoveWin[] = {{"LeftCoord", T}, {"TopCoord", T}, {"WindowName", T}};
constexpr ValueSpec vSizeWin[] = {{"Height", T}, {"Width", T}, {"WindowName", T}};
constexpr ValueSpec vShowWin[] = {{"WindowName", T}, {"Style", N}};
constexpr ValueSpec vVariable[] = {{"VarName", T}};
constexpr ValueSpec vReplaceString[] = {{"VarName", T}, {"ReplaceWith", T}, {"SearchFor", T}};
constexpr ValueSpec vSoundValues[] = {{"SoundID", N}};
constexpr ValueSpec vWaitDrive[] = {
    {"WaitDriveName", T}, {"WaitDriveTimeout", T}, {"AbortOnFail", N}, {"WaitForConnect", N}};
constexpr ValueSpec vSchedule[] = {{"Period", N}, {"Day", T},   {"DayOfWeek", T}, {"Hour", T},
                                   {"Minute", T}, {"Month", T}, {"Second", T},    {"Year", T}};

constexpr std::uint32_t kDateTimeParts = 5;
constexpr std::uint32_t kAnyNumber = std::numeric_limits<std::uint32_t>::max();

CommandValueSet only(std::span<const ValueSpec> values) {
    return {values, {}, 0};
}

}  // namespace

CommandValueSet valuesOfCommand(std::uint32_t id) {
    if (id >= 1 && id <= 255) return only(vKeystroke);
    switch (id) {
        case kDelay: return only(vDelay);
        case kCopyFromClipBoard: return only(vCopyFrom);
        case kPasteToClipBoard: return only(vPaste);
        case kPlaybackRecording: return only(vPlayback);
        case kSendTime:
        case kSendDate: return {vDateTime, vDateTimePart, kDateTimeParts};
        case kMessageBox: return only(vMessageBox);
        case kRun: return only(vRun);
        case kWaitForWindow: return only(vWaitWindow);
        case kMoveMousePointer: return only(vMoveMouse);
        case kParseClipBoard: return only(vParse);
        case kSendKeys: return only(vSendKeys);
        case kCopyRemoteClipBoard: return only(vRemoteClip);
        case kReplaceWordOrPhrase: return only(vReplaceWord);
        case kSetVariable: return only(vSetVariable);
        case kPromptUser: return {vPrompt, vPromptBox, kAnyNumber};
        case kRepeat: return only(vRepeatValues);
        case kEjectMedia:
        case kInsertMedia: return only(vMedia);
        case kMoveWindow: return only(vMoveWin);
        case kSizeWindow: return only(vSizeWin);
        case kShowWindow: return only(vShowWin);
        case kMakeUpperCase:
        case kMakeLowerCase:
        case kLeftTrimWhiteSpace:
        case kRightTrimWhiteSpace:
        case kTrimWhiteSpace: return only(vVariable);
        case kReplaceString: return only(vReplaceString);
        case kSound: return only(vSoundValues);
        case kWaitForDriveMap: return only(vWaitDrive);
        default: return {};
    }
}

std::span<const ValueSpec> scheduleValues() {
    return vSchedule;
}

const ValueSpec* findValue(std::span<const ValueSpec> specs, std::string_view name) {
    const std::string folded = utf8::upper(name);
    for (const ValueSpec& spec : specs) {
        if (utf8::upper(spec.name) == folded) return &spec;
    }
    return nullptr;
}

}  // namespace ks
