#include "editors/ParameterDialog.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include "EditorDesktop.h"
#include "RecordingMessages.h"
#include "UsKeymap.h"
#include "commands/CommandTable.h"
#include "core/CommandId.h"
#include "editors/DateTimeDialog.h"
#include "editors/PlaybackDialog.h"
#include "editors/PromptDialog.h"
#include "editors/RowDescription.h"
#include "keys/KeyNames.h"

namespace ks::test {
namespace {

// Sets field `index` from text: a line's text, a drop-down's or radio button's
// label, "1"/"0" for a check box; an empty input leaves the field as opened.
void enter(ParameterDialog& dialog, int index, const QString& input) {
    if (input.isEmpty()) return;
    QWidget* widget = dialog.fieldWidget(index);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) line->setText(input);
    if (auto* lines = qobject_cast<QPlainTextEdit*>(widget)) lines->setPlainText(input);
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        combo->setCurrentIndex(combo->findText(input));
    if (auto* check = qobject_cast<QCheckBox*>(widget)) check->setChecked(input == "1");
    if (qobject_cast<QGroupBox*>(widget)) {
        for (auto* radio : widget->findChildren<QRadioButton*>())
            if (radio->text().remove('&') == input) radio->setChecked(true);
    }
}

// "Name=text;Name=#number;…" in the record's order.
std::string stored(const CommandRecord& record) {
    std::string out;
    for (const CommandValue& value : record.values) {
        const bool number = std::holds_alternative<std::uint32_t>(value.data);
        out += value.name + "=" + (number ? "#" : "") + record.text(value.name) + ";";
    }
    return out;
}

// OK pressed: the stored values as `summary` gives them, or the refusal's "title: text".
template <class Dialog>
std::string afterOk(Dialog& dialog, const RecordingMessages& messages,
                    std::string (*summary)(const CommandRecord&) = stored) {
    dialog.accept();
    if (dialog.result() == QDialog::Accepted) return summary(dialog.record());
    return messages.shown.empty() ? "refused silently" : messageLine(messages.shown.front());
}

struct Row {
    std::uint32_t id;
    std::vector<QString> inputs;  // per field
    std::string expected;         // the stored values after OK, or the refusal's "title: text"
};

constexpr const char* kTimeOut = "Attention: Time out must be specified.  0 waits indefinately.";

// New commands, filled and confirmed: each writes exactly the values its command reads,
// and reopening with them and confirming again changes nothing; or OK refuses with the
// first failing check's box and the dialog stays open.
const Row kRows[] = {
    {kDelay, {" 500 "}, "DelayInterval=500;"},
    {kParseClipBoard, {" "}, "Delimiter= ;"},
    {kSendKeys, {"two\nlines"}, "Keys=two\nlines;"},
    {kTrimWhiteSpace, {"v"}, "VarName=v;"},
    {kEjectMedia, {" d "}, "DriveLetter=d ;"},
    {kRun,
     {"prog", "-a", "/tmp", "Minimized", "Editor", "1"},
     "FileName=prog;Arguments=-a;DirName=/tmp;ShowStyle=#2;WindowName=Editor;RunIfOpen=#0;"},
    {kRun, {"prog"}, "FileName=prog;Arguments=;DirName=;ShowStyle=#1;WindowName=;RunIfOpen=#1;"},
    {kWaitForDriveMap,
     {"/mnt/s", "", " 0 "},
     "WaitDriveName=/mnt/s;WaitForConnect=#1;WaitDriveTimeout=0;AbortOnFail=#0;"},
    {kMessageBox,
     {"T", "B", "0", "1", "1", "0", "Bottom/Right"},
     "WindowTitle=T;MessageBody=B;TimeOut=0;MsgBoxType=#1;MsgBoxSetForeground=#1;"
     "MsgBoxSetFocus=#0;MsgBoxPos=#9;"},
    {kSound, {}, "SoundID=#-1;"},
    {kMoveMousePointer,
     {"Relative to the foreground window", "", "", " 10", "20 "},
     "IsAB=#0;XABCoord=;YABCoord=;XRELCoord=10;YRELCoord=20;"},

    {kDelay, {"  "}, "Attention: Duration must be specified."},
    {kEjectMedia, {" "}, "Keystrider - Error: Drive Letter: must be specified."},
    {kRepeat, {" "}, "Keystrider - Error: Argument can not be left empty."},
    {kSetVariable, {"", "x"}, "Keystrider Error: Variable Name must not be empty."},
    {kParseClipBoard, {}, "Keystrider Error: Delimiter must be given!"},
    {kCopyRemoteClipBoard, {"h", " ", ""}, "Keystrider - Error: Port: can not be empty."},
    {kCopyRemoteClipBoard, {"h", "1", " "}, "Keystrider - Error: Variable Name: can not be empty."},
    {kWaitForWindow, {"", "", "", "1"}, kTimeOut},
    {kWaitForWindow,
     {"", "", "1", " "},
     "Attention: Number of windows to wait for must be specified."},
    {kMoveWindow, {"w", "1", " "}, "Keystrider - Attention: Top Coordinate must not be empty."},
    {kSizeWindow, {" ", "1", "1"}, "Keystrider - Attention: Window Name must not be empty."},
    {kShowWindow,
     {"w"},
     "Keystrider - Warning: You must select a item from the Show Window: drop down list."},
};

std::string confirm(const CommandRecord& record, const std::vector<QString>& inputs,
                    CommandRecord* result = nullptr) {
    RecordingMessages messages;
    EditorDesktop desktop;
    ParameterDialog dialog(*parameterSpec(record.id), record, messages, desktop.hooks());
    for (std::size_t k = 0; k < inputs.size(); ++k) enter(dialog, static_cast<int>(k), inputs[k]);
    const std::string outcome = afterOk(dialog, messages);
    if (result && dialog.result() == QDialog::Accepted) *result = dialog.record();
    return outcome;
}

TEST(ParameterDialogTest, EachTypeStoresTheValuesItsCommandReadsOrRefusesItsFirstMissingField) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(commandName(row.id));
        CommandRecord written;
        ASSERT_EQ(confirm(CommandRecord{row.id}, row.inputs, &written), row.expected);
        if (written.id == 0) continue;  // refused
        EXPECT_EQ(confirm(written, {}), row.expected);
    }
}

TEST(ParameterDialogTest, RunEnablesTheWindowNameOnlyWhileDontRunIfOpenIsChecked) {
    RecordingMessages messages;
    EditorDesktop desktop;
    const CommandRecord run(kRun, {{"RunIfOpen", 0u}});
    ParameterDialog dialog(*parameterSpec(kRun), run, messages, desktop.hooks());
    EXPECT_TRUE(dialog.fieldWidget(4)->isEnabled());
    enter(dialog, 5, "0");
    EXPECT_FALSE(dialog.fieldWidget(4)->isEnabled());
}

TEST(RowDescriptionTest, EachTypeShowsItsValues) {
    FixedKeymap keymap;
    KeymapKeyNames keyNames(keymap);
    const std::pair<CommandRecord, std::string> rows[] = {
        {CommandRecord(kSendKeys, {{"Keys", "Dear Sir\nWe write to tell you of the 12 parcels"}}),
         "SEND KEYS \"Dear Sir↵We write to tell you of the 12 …\""},
        {CommandRecord(kWaitForWindow,
                       {{"WaitWindowName", "Untitled*"}, {"WaitWindowTimeout", "10"}}),
         "WAIT FOR WINDOW \"Untitled*\" 10 s"},
        {CommandRecord(kMoveMousePointer, {{"IsAB", 0u}, {"XRELCoord", "10"}, {"YRELCoord", "20"}}),
         "MOVE MOUSE POINTER (REL:10,20)"},
        {CommandRecord(kMoveMousePointer, {{"IsAB", 1u}, {"XABCoord", "1"}, {"YABCoord", "2"}}),
         "MOVE MOUSE POINTER (AB:1,2)"},
        {CommandRecord(0x41, {{"KeyPressed", 0u}}), "aA (Down)"},
        {CommandRecord(kCtrlC, {}), "CTRL+C"},
    };
    for (const auto& [record, text] : rows) EXPECT_EQ(rowDescription(record, keyNames), text);
}

struct PlaybackRow {
    CommandRecord stored;
    int row;          // chosen recording, -1 none
    int speed;        // radio button id, -1 as opened
    QString percent;  // empty: as opened
    std::string expected;
};

TEST(PlaybackDialogTest, ChoosesARecordingItsEventsAndSpeed) {
    const std::vector<RecordingRow> recordings = {
        {"both", "Keyboard & Mouse", 1}, {"keys", "Keyboard", 2}, {"clicks", "Mouse", 3}};
    const CommandRecord fresh(kPlaybackRecording),
        mouseFaster(kPlaybackRecording, {{"JournalName", std::string("CLICKS")},
                                         {"PlayBackEvent", 3u},
                                         {"PlayBackSpeed", std::string("-25")}});
    const PlaybackRow rows[] = {
        {fresh, -1, -1, "", "Attention: No recording selected!"},
        {fresh, 1, 1, "40", "JournalName=keys;PlayBackEvent=#2;PlayBackSpeed=-40;"},
        {fresh, 0, 2, "-5",
         "Attention: Replay speed percentage must be greater than or equal to 0."},
        {fresh, 0, 2, "12.5", "JournalName=both;PlayBackEvent=#1;PlayBackSpeed=12.5;"},
        {mouseFaster, -1, -1, "", "JournalName=clicks;PlayBackEvent=#3;PlayBackSpeed=-25;"},
    };
    for (const PlaybackRow& row : rows) {
        RecordingMessages messages;
        PlaybackDialog dialog(recordings, row.stored, messages);
        if (row.row >= 0) dialog.list()->setCurrentItem(dialog.list()->topLevelItem(row.row));
        if (row.speed >= 0) dialog.speeds()->button(row.speed)->click();
        if (!row.percent.isEmpty()) dialog.percent()->setText(row.percent);
        EXPECT_EQ(afterOk(dialog, messages), row.expected);
    }
}

// "utc|order,format,prepend,append|…" with "-" for a part left out.
std::string dateTimeSummary(const CommandRecord& record) {
    std::string out = record.text("UseGMT");
    for (const CommandRecord& part : record.parts) {
        out += "|";
        out += part.number("Include") == 1u ? part.text("Order") + "," + part.text("Format") + "," +
                                                  part.text("Prepend") + "," + part.text("Append")
                                            : "-";
    }
    return out;
}

TEST(DateTimeDialogTest, PartsNeedAnOrderOfTheirOwnAndAFormat) {
    struct PartsRow {
        std::uint32_t id;
        int week;    // SEND DATE's part 3: its order item (0 none), -1 left out
        int format;  // its format item
        std::string expected;
    };
    const PartsRow rows[] = {
        {kSendDate, -1, 0, "0|0,0,,/|1,0,,/|2,1,,|-|-"},
        {kSendTime, -1, 0, "0|0,0,,:|1,0,,:|2,0,,|-|-"},
        {kSendDate, 0, 1, "Keystrider - Error: Order argument must be specified!"},
        {kSendDate, 5, 0, "Keystrider - Error: Format argument must be specified!"},
        {kSendDate, 1, 1, "Keystrider - Error: Order argument already in use!"},
        {kSendDate, 5, 2, "1|0,0,,/|1,0,,/|2,1,,|4,1,<,>|-"},
    };
    for (const PartsRow& row : rows) {
        RecordingMessages messages;
        DateTimeDialog dialog(CommandRecord(row.id), messages);
        if (row.week >= 0) {
            const DateTimeDialog::PartRow& week = dialog.row(3);
            week.include->setChecked(true);
            week.order->setCurrentIndex(row.week);
            week.format->setCurrentIndex(row.format);
            week.prepend->setText("<");
            week.append->setText(">");
            dialog.utcBox()->setChecked(true);
        }
        EXPECT_EQ(afterOk(dialog, messages, dateTimeSummary), row.expected);
        if (dialog.result() != QDialog::Accepted) continue;
        DateTimeDialog reopened(dialog.record(), messages);
        EXPECT_EQ(reopened.record(), dialog.record());
    }
}

void fill(PromptDialog& dialog, const QStringList& values) {
    for (std::size_t k = 0; k < PromptDialog::kFields.size(); ++k)
        dialog.field(k)->setText(values.value(static_cast<int>(k)));
}

TEST(PromptDialogTest, AddAndUpdateNeedEachBoxValueInOrder) {
    RecordingMessages messages;
    PromptDialog dialog(CommandRecord(kPromptUser), messages);
    const std::pair<QStringList, const char*> refusals[] = {
        {{"c", " "}, "Left Coord: must be specified."},
        {{"c", "1", ""}, "Top Coord: must be specified."},
        {{"c", "1", "2"}, "Text Box Width must be specified."},
        {{"c", "1", "2", "3"}, "Text Box Height must be specified."},
        {{"c", "1", "2", "3", "4", " "}, "Variable Name must be specified."},
    };
    for (const auto& [values, message] : refusals) {
        fill(dialog, values);
        dialog.add();
    }
    dialog.update();
    std::vector<std::string> expected;
    for (const auto& refusal : refusals) expected.push_back(refusal.second);
    expected.push_back("One item must be selected to perform update.");
    EXPECT_EQ(messages.texts(), expected);

    fill(dialog, {" Name ", " 1", "2", "3", "4", "A"});
    dialog.add();
    dialog.multiLine()->setChecked(true);
    fill(dialog, {"", "5", "6", "7", "8", "B"});
    dialog.add();
    dialog.list()->topLevelItem(0)->setSelected(true);
    dialog.field(5)->setText("C");
    dialog.update();
    dialog.title()->setText("Ask");
    const CommandRecord record = dialog.record();
    std::string summary = record.text("WindowCaption");
    for (const CommandRecord& prompt : record.parts) summary += "|" + stored(prompt);
    EXPECT_EQ(summary,
              "Ask|Caption= Name ;X=1;Y=2;Width=3;Height=4;VName=C;MultiLine=No;"
              "|Caption=;X=5;Y=6;Width=7;Height=8;VName=B;MultiLine=Yes;");
}

// Takes the form it is asked to show; its window is closed at once.
class FormTaker final : public Dialogs {
public:
    ScreenSize screenSize() override { return {1024, 768}; }
    std::unique_ptr<MessageBoxWindow> createMessageBox(const MessageBoxSpec&) override {
        return nullptr;
    }
    std::unique_ptr<PromptWindow> showPrompt(const PromptForm& form) override {
        shown = form;
        struct Closed final : PromptWindow {
            DialogState state() const override { return DialogState::Dismissed; }
            std::vector<std::string> texts() const override { return {}; }
        };
        return std::make_unique<Closed>();
    }
    std::optional<PromptForm> shown;
};

TEST(PromptDialogTest, ViewShowsTheListAndAsksFirstAboutFieldsNotUpdated) {
    constexpr const char* kPending =
        "You did not do an update on the currently selected prompt in the Prompt list box.\n\n"
        "If you continue, the view of the dialog will not reflect any changes to the selected "
        "prompt.\n\nDo you wish to continue?";
    struct Case {
        std::function<void(PromptDialog&)> edit;
        MsgAnswer answer;
        std::vector<std::string> asked;
        bool shown;
    };
    const Case cases[] = {
        {[](PromptDialog& d) { d.field(1)->setText(" 10 "); }, MsgAnswer::Yes, {}, true},
        {[](PromptDialog& d) { d.field(0)->setText("Other"); }, MsgAnswer::Yes, {kPending}, true},
        {[](PromptDialog& d) { d.multiLine()->click(); }, MsgAnswer::No, {kPending}, false},
        {[](PromptDialog& d) { d.list()->clearSelection(), d.field(5)->setText("W"); },
         MsgAnswer::No,
         {},
         true},
    };
    for (const Case& c : cases) {
        RecordingMessages messages;
        messages.answers = {c.answer};
        FormTaker dialogs;
        PromptDialog dialog(CommandRecord(kPromptUser), messages, &dialogs);
        dialog.title()->setText("Ask");
        fill(dialog, {"Name", "10", "20", "30", "40", "V"});
        dialog.add();
        dialog.list()->topLevelItem(0)->setSelected(true);
        c.edit(dialog);
        dialog.view();
        EXPECT_EQ(messages.texts(), c.asked);
        // The form is the list's, not the fields': its geometry is the command's own rule.
        EXPECT_EQ(dialogs.shown ? dialogs.shown->title.value_or("") + "|" +
                                      dialogs.shown->fields.at(0).caption
                                : "-",
                  c.shown ? "Ask|Name" : "-");
    }
}

}  // namespace
}  // namespace ks::test
