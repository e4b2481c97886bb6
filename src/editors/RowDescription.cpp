#include "editors/RowDescription.h"

#include "commands/CommandTable.h"
#include "core/CommandId.h"
#include "core/Utf8.h"

namespace ks {

namespace {

// Characters of a value a row shows before it cuts the rest.
constexpr std::size_t kLongestValue = 40;

enum class Shown { Plain, Quoted, Milliseconds, Seconds, Times, Assigned };

struct ShownValue {
    const char* name = nullptr;
    Shown as = Shown::Plain;
};

struct RowValues {
    CommandId id;
    ShownValue first;
    ShownValue second;
};

// The values a row shows after the command's name, empty ones left out.
constexpr RowValues kRowValues[] = {
    {kDelay, {"DelayInterval", Shown::Milliseconds}, {}},
    {kCopyFromClipBoard, {"BufName", Shown::Plain}, {}},
    {kPasteToClipBoard, {"BufName", Shown::Plain}, {}},
    {kPlaybackRecording, {"JournalName", Shown::Quoted}, {}},
    {kMessageBox, {"WindowTitle", Shown::Quoted}, {"MessageBody", Shown::Quoted}},
    {kRun, {"FileName", Shown::Quoted}, {"Arguments", Shown::Quoted}},
    {kWaitForWindow, {"WaitWindowName", Shown::Quoted}, {"WaitWindowTimeout", Shown::Seconds}},
    {kWaitForDriveMap, {"WaitDriveName", Shown::Quoted}, {"WaitDriveTimeout", Shown::Seconds}},
    {kParseClipBoard, {"Delimiter", Shown::Quoted}, {}},
    {kSendKeys, {"Keys", Shown::Quoted}, {}},
    {kCopyRemoteClipBoard, {"IPAddress", Shown::Plain}, {"BufName", Shown::Plain}},
    {kReplaceWordOrPhrase, {"Text", Shown::Quoted}, {}},
    {kSetVariable, {"Name", Shown::Plain}, {"Value", Shown::Assigned}},
    {kPromptUser, {"WindowCaption", Shown::Quoted}, {}},
    {kRepeat, {"NumReps", Shown::Times}, {}},
    {kEjectMedia, {"DriveLetter", Shown::Plain}, {}},
    {kInsertMedia, {"DriveLetter", Shown::Plain}, {}},
    {kMoveWindow, {"WindowName", Shown::Quoted}, {}},
    {kSizeWindow, {"WindowName", Shown::Quoted}, {}},
    {kShowWindow, {"WindowName", Shown::Quoted}, {}},
    {kMakeUpperCase, {"VarName", Shown::Plain}, {}},
    {kMakeLowerCase, {"VarName", Shown::Plain}, {}},
    {kLeftTrimWhiteSpace, {"VarName", Shown::Plain}, {}},
    {kRightTrimWhiteSpace, {"VarName", Shown::Plain}, {}},
    {kTrimWhiteSpace, {"VarName", Shown::Plain}, {}},
    {kReplaceString, {"VarName", Shown::Plain}, {"SearchFor", Shown::Quoted}},
};

// One line of at most kLongestValue characters: line breaks shown as ↵,
// other control characters as blanks.
std::string shortened(std::string_view text) {
    std::string out;
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        const utf8::CodePoint c = utf8::decode(text, pos);
        if (count == kLongestValue) return out + "…";
        if (c.value == '\n') {
            out += "↵";
        } else if (c.value == '\r' || c.value == '\t') {
            out += ' ';
        } else {
            out += text.substr(pos, c.length);
        }
        pos += c.length;
    }
    return out;
}

std::string shown(const std::string& value, Shown as) {
    const std::string text = shortened(value);
    switch (as) {
        case Shown::Plain: return text;
        case Shown::Quoted: return "\"" + text + "\"";
        case Shown::Milliseconds: return text + " ms";
        case Shown::Seconds: return text + " s";
        case Shown::Times: return text + " time(s)";
        case Shown::Assigned: return "= \"" + text + "\"";
    }
    return text;
}

void appendValue(std::string& row, const CommandRecord& command, const ShownValue& value) {
    if (value.name == nullptr) return;
    const std::string text = command.text(value.name);
    if (!text.empty()) row += " " + shown(text, value.as);
}

std::string coordinates(const CommandRecord& command, const char* x, const char* y) {
    return command.text(x) + "," + command.text(y);
}

}  // namespace

std::string rowDescription(const CommandRecord& command, KeyDisplayNames& keys) {
    const std::string name = KeyCodeToDisplayName(command.id, keys);
    if (command.id >= 1 && command.id <= 255) {
        return name + (command.number("KeyPressed").value_or(0) == 2 ? " (Up)" : " (Down)");
    }
    if (command.id == kMoveMousePointer) {
        return command.number("IsAB").value_or(0) == 1
                   ? name + " (AB:" + coordinates(command, "XABCoord", "YABCoord") + ")"
                   : name + " (REL:" + coordinates(command, "XRELCoord", "YRELCoord") + ")";
    }
    std::string row = name;
    for (const RowValues& values : kRowValues) {
        if (values.id != command.id) continue;
        appendValue(row, command, values.first);
        appendValue(row, command, values.second);
    }
    return row;
}

std::optional<std::string> bracketedReference(const CommandRecord& command) {
    for (const CommandValue& value : command.values) {
        const auto* text = std::get_if<std::string>(&value.data);
        if (text == nullptr) continue;
        const std::size_t open = text->find('[');
        const std::size_t close = open == std::string::npos ? open : text->find(']', open);
        if (close != std::string::npos) return text->substr(open, close - open + 1);
    }
    for (const CommandRecord& part : command.parts) {
        if (auto reference = bracketedReference(part)) return reference;
    }
    return std::nullopt;
}

}  // namespace ks
