#include "editors/ParameterTable.h"

#include <algorithm>

#include "commands/CommandTable.h"
#include "core/CommandId.h"

namespace ks {

namespace {

FieldSpec line(const char* label, const char* value, Trim trim = Trim::None,
               Browse browse = Browse::None, const char* suffix = "") {
    return {FieldKind::Line, label, value, trim, {}, suffix, browse};
}

FieldSpec windowName(const char* value = "WindowName", Trim trim = Trim::None) {
    return line("Window Name:", value, trim, Browse::Window);
}

FieldSpec check(const char* label, const char* value, std::int32_t unchecked, std::int32_t checked,
                std::int32_t fallback) {
    return {FieldKind::Check, label,   value, Trim::None, {{"", unchecked}, {"", checked}}, "",
            Browse::None,     fallback};
}

FieldSpec radio(const char* label, const char* value, std::vector<FieldChoice> choices,
                std::int32_t fallback, int columns = 1) {
    FieldSpec field{FieldKind::Radio, label, value, Trim::None, std::move(choices)};
    field.fallback = fallback;
    field.columns = columns;
    return field;
}

FieldCheck required(int field, const char* message, const char* title,
                    MsgIcon icon = MsgIcon::Information) {
    return {field, message, title, icon};
}

constexpr const char* kTimeOutMissing = "Time out must be specified.  0 waits indefinately.";

std::vector<ParameterSpec> variableNameDialogs() {
    std::vector<ParameterSpec> specs;
    for (const CommandId id : {kMakeUpperCase, kMakeLowerCase, kLeftTrimWhiteSpace,
                               kRightTrimWhiteSpace, kTrimWhiteSpace}) {
        specs.push_back({id,
                         "Keystrider - " + std::string(commandName(id)),
                         {line("Variable Name:", "VarName")},
                         {}});
    }
    return specs;
}

std::vector<ParameterSpec> buildTable() {
    const FieldChoice showStyles[] = {{"Normal Window", 1}, {"Minimized", 2}, {"Maximized", 3}};
    FieldSpec runStyle{FieldKind::Choice,
                       "Run:",
                       "ShowStyle",
                       Trim::None,
                       {std::begin(showStyles), std::end(showStyles)}};
    runStyle.fallback = 1;
    FieldSpec runWindow = windowName();
    runWindow.enabledBy = 5;

    FieldSpec showWindow{FieldKind::Choice,
                         "Show Window:",
                         "Style",
                         Trim::None,
                         {{"HIDDEN", 0},
                          {"MAXIMIZED", 3},
                          {"MINIMIZED", 6},
                          {"RESTORED", 9},
                          {"SHOW", 5},
                          {"SHOWNORMAL", 1},
                          {"FORCEMINIMIZED", 11},
                          {"SHOWDEFAULT", 10},
                          {"SHOWMINIMIZED", 2},
                          {"SHOWMINNOACTIVE", 7},
                          {"SHOWNA", 8},
                          {"SHOWNOACTIVATE", 4}}};

    std::vector<ParameterSpec> table = {
        {kDelay,
         "Keystrider - DELAY",
         {line("Duration in milliSeconds:", "DelayInterval", Trim::Both)},
         {required(0, "Duration must be specified.", "Attention")}},
        {kCopyFromClipBoard,
         "Keystrider - COPY FROM CLIP BOARD",
         {line("Enter name of the variable which is to receive the contents of the Clip Board:",
               "BufName")},
         {}},
        {kPasteToClipBoard,
         "Keystrider - PASTE TO CLIP BOARD",
         {line("Enter name of the variable which is to be copied to the Clip Board:", "BufName"),
          line("Initial value:", "DefPasteString")},
         {}},
        {kParseClipBoard,
         "Keystrider - PARSE CLIPBOARD",
         {line("Delimiter:", "Delimiter")},
         {required(0, "Delimiter must be given!", "Keystrider Error", MsgIcon::Stop)}},
        {kCopyRemoteClipBoard,
         "Keystrider - COPY REMOTE CLIP BOARD",
         {line("IP Address/Host Name:", "IPAddress", Trim::Both), line("Port:", "Port", Trim::Both),
          line("Variable Name:", "BufName", Trim::Both)},
         {required(0, "IP Address/Host Name: can not be empty.", "Keystrider - Error",
                   MsgIcon::Stop),
          required(1, "Port: can not be empty.", "Keystrider - Error", MsgIcon::Stop),
          required(2, "Variable Name: can not be empty.", "Keystrider - Error", MsgIcon::Stop)}},
        {kSetVariable,
         "Keystrider - SET VARIABLE",
         {line("Variable Name:", "Name"), line("Value:", "Value")},
         {required(0, "Variable Name must not be empty.", "Keystrider Error", MsgIcon::Stop)}},
        {kReplaceString,
         "Keystrider - REPLACE STRING",
         {line("Variable Name:", "VarName"), line("Search For:", "SearchFor"),
          line("Replace With:", "ReplaceWith")},
         {}},
        {kSendKeys,
         "Keystrider - SEND KEYS",
         {{FieldKind::Lines, "Enter text to send:", "Keys"}},
         {}},
        {kReplaceWordOrPhrase,
         "Keystrider - REPLACE WORD OR PHRASE",
         {line("Enter text that will replace the Word or Phrase that triggered this macro:",
               "Text")},
         {}},
        {kRepeat,
         "Keystrider - REPEAT",
         {line("Repeat following commands:", "NumReps", Trim::Both, Browse::None, "times.")},
         {required(0, "Argument can not be left empty.", "Keystrider - Error", MsgIcon::Stop)}},
        {kEjectMedia,
         "Keystrider - Eject Drive",
         {line("Drive Letter:", "DriveLetter", Trim::Left)},
         {required(0, "Drive Letter: must be specified.", "Keystrider - Error", MsgIcon::Stop)}},
        {kInsertMedia, "Keystrider - Insert Drive", {line("Drive Letter:", "DriveLetter")}, {}},
        {kRun,
         "Keystrider - RUN",
         {line("Command:", "FileName", Trim::None, Browse::File), line("Arguments:", "Arguments"),
          line("Start in:", "DirName", Trim::None, Browse::Folder), runStyle, runWindow,
          check("Don't run if open:", "RunIfOpen", 1, 0, 1)},
         {}},
        {kWaitForWindow,
         "Keystrider - WAIT FOR WINDOW",
         {windowName("WaitWindowName"),
          radio("Wait for Window to:", "WaitForOpen", {{"Open", 1}, {"Close", 0}}, 1, 2),
          line("Stop waiting after:", "WaitWindowTimeout", Trim::Both, Browse::None, "seconds."),
          line("Wait for: ", "NumWins", Trim::Both, Browse::None, "window(s) with the above name."),
          check("Abort macro if command times out?", "AbortOnFail", 0, 1, 0)},
         {required(2, kTimeOutMissing, "Attention", MsgIcon::None),
          required(3, "Number of windows to wait for must be specified.", "Attention",
                   MsgIcon::None)}},
        {kWaitForDriveMap,
         "Keystrider - WAIT FOR DRIVE MAP",
         {line("Drive:", "WaitDriveName", Trim::None, Browse::Folder),
          radio("Wait for drive to be:", "WaitForConnect", {{"Connected", 1}, {"Disconnected", 0}},
                1, 2),
          line("Stop waiting after:", "WaitDriveTimeout", Trim::Both, Browse::None, "seconds."),
          check("Abort macro if command times out?", "AbortOnFail", 0, 1, 0)},
         {required(2, kTimeOutMissing, "Attention", MsgIcon::None)}},
        {kMoveWindow,
         "Keystrider - MOVE WINDOW",
         {windowName("WindowName", Trim::Both), line("Left Coordinate:", "LeftCoord", Trim::Both),
          line("Top Coordinate:", "TopCoord", Trim::Both)},
         {required(0, "Window Name must not be empty.", "Keystrider - Attention"),
          required(1, "Left Coordinate must not be empty.", "Keystrider - Attention"),
          required(2, "Top Coordinate must not be empty.", "Keystrider - Attention")}},
        {kSizeWindow,
         "Keystrider - SIZE WINDOW",
         {windowName("WindowName", Trim::Both), line("Width:", "Width", Trim::Both),
          line("Height:", "Height", Trim::Both)},
         {required(0, "Window Name must not be empty.", "Keystrider - Attention"),
          required(1, "Width must not be empty.", "Keystrider - Attention"),
          required(2, "Height must not be empty.", "Keystrider - Attention")}},
        {kShowWindow,
         "Keystrider - SHOW WINDOW",
         {windowName("WindowName", Trim::Both), showWindow},
         {required(0, "Window Name must not be empty.", "Keystrider - Attention"),
          required(1, "You must select a item from the Show Window: drop down list.",
                   "Keystrider - Warning", MsgIcon::Exclamation)}},
        {kMessageBox,
         "Keystrider - MESSAGE BOX",
         {line("Window Title:", "WindowTitle"),
          {FieldKind::Lines, "Message Body:", "MessageBody"},
          line("Time Out in milliSeconds:", "TimeOut"),
          check("Abort/Continue", "MsgBoxType", 0, 1, 0),
          check("Stay On Top", "MsgBoxSetForeground", 0, 1, 0),
          check("Set Focus", "MsgBoxSetFocus", 0, 1, 1),
          radio("Position:", "MsgBoxPos",
                {{"Top/Left", 1},
                 {"Top/Center", 2},
                 {"Top/Right", 3},
                 {"Center/Left", 4},
                 {"Center", 5},
                 {"Center/Right", 6},
                 {"Bottom/Left", 7},
                 {"Bottom/Center", 8},
                 {"Bottom/Right", 9}},
                5, 3)},
         {}},
        // Screen positions are kept normalised, 0 to 65535 across the screen.
        {kMoveMousePointer,
         "Keystrider - MOVE MOUSE POINTER",
         {radio("Move to:", "IsAB",
                {{"Absolute position", 1}, {"Relative to the foreground window", 0}}, 1, 2),
          line("Absolute X (0 - 65535):", "XABCoord", Trim::Both),
          line("Absolute Y (0 - 65535):", "YABCoord", Trim::Both),
          line("Relative X (0 - 65535):", "XRELCoord", Trim::Both),
          line("Relative Y (0 - 65535):", "YRELCoord", Trim::Both)},
         {}},
        // "OK" plays the plain alert.
        {kSound,
         "Keystrider - Sound",
         {radio("Select Sound:", "SoundID",
                {{"BEEP", -1},
                 {"ASTERISK", 64},
                 {"EXCLAMATION", 48},
                 {"HAND", 16},
                 {"QUESTION", 32},
                 {"OK", 0}},
                -1)},
         {}},
    };
    for (ParameterSpec& spec : variableNameDialogs()) table.push_back(std::move(spec));
    return table;
}

}  // namespace

const ParameterSpec* parameterSpec(std::uint32_t id) {
    static const std::vector<ParameterSpec> table = buildTable();
    const auto spec =
        std::ranges::find_if(table, [id](const ParameterSpec& s) { return s.id == id; });
    return spec == table.end() ? nullptr : &*spec;
}

}  // namespace ks
