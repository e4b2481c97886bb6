#include "editors/RecordingEditor.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

#include "RecorderDoubles.h"
#include "UsKeymap.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

using Events = std::vector<JournalEvent>;

Events keyEvents(std::uint32_t first, std::size_t count) {
    Events events;
    for (std::uint32_t i = 0; i < count; ++i) {
        events.push_back({kWmKeyDown, 0x41 + i, 0, first + 10 * i, 7});
    }
    return events;
}

class RecordingEditorTest : public StoreFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(store->EnsureRootKeys());
        ASSERT_TRUE(WriteRecording(*store, "Rec", keyEvents(1000, 3), 2));
        ASSERT_TRUE(WriteRecording(*store, "Other", keyEvents(5000, 2), 2));
    }
    EventDialogServices dialogServices() {
        return {messages,
                std::make_shared<const KeyLayout>(usKeyLayout()),
                ScreenSize{1024, 768},
                &capture,
                nullptr,
                nullptr,
                kWmRButtonUp};
    }
    std::unique_ptr<RecordingEditor> open(const std::string& name) {
        return std::make_unique<RecordingEditor>(
            RecordingEditor::Services{*store, clipboard, dialogServices()}, name,
            RecordingType::Keyboard);
    }
    void select(RecordingEditor& editor, std::vector<int> rows) {
        QItemSelectionModel* selection = editor.eventList()->selectionModel();
        selection->clear();
        for (int row : rows) {
            selection->select(editor.model().index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const RecordingRow& row : ListRecordings(*store)) out.push_back(row.name);
        return out;
    }

    EventClipboard clipboard;
    FakeCapture capture;
};

struct SaveCase {
    bool saveAs;
    const char* name;
    const char* failingValue;  // a value whose write fails, or ""
    const char* message;       // the box shown, or ""
    std::vector<std::string> names;
};

// The first event is deleted before each save: the saved recording holds the other two.
TEST_F(RecordingEditorTest, SaveReplacesAsOneChangeAndSaveAsAddsUnderAFreeName) {
    const char* inUse = "Recording name already in use.\n\nPlease select a different name.";
    const std::vector<SaveCase> cases = {
        {false, "Rec", "", "", {"Other", "Rec"}},
        {false, "  New ", "", "", {"New", "Other"}},
        {false, "Other", "", inUse, {"Other", "Rec"}},
        {false, " ", "", "Recording name must not be empty!", {"Other", "Rec"}},
        {false, "New", "Count", "", {"Other", "Rec"}},
        {true, "Rec", "", inUse, {"Other", "Rec"}},
        {true, " Copy", "", "", {"Copy", "Other", "Rec"}},
        {true, "", "", "Recording name must not be empty!", {"Other", "Rec"}},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : names()) DeleteRecording(*store, name);
        SetUp();
        const auto editor = open("Rec");
        editor->model().removeEvents({0});
        editor->nameEdit()->setText(QString::fromLatin1(c.name));
        if (*c.failingValue) failWritesOf(c.failingValue);
        messages.clear();
        c.saveAs ? editor->SaveAsClicked() : editor->SaveClicked();
        const bool saved = *c.message == 0 && *c.failingValue == 0;
        EXPECT_EQ(editor->result(), saved ? QDialog::Accepted : QDialog::Rejected);
        if (*c.message) {
            EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
        }
        EXPECT_EQ(names(), c.names);
        const Events original = keyEvents(1000, 3);
        const Events edited(original.begin() + 1, original.end());
        if (saved) {
            EXPECT_EQ(LoadRecordingForPlayback(*store, editor->savedName()), edited);
        }
        const bool replaced = saved && !c.saveAs;
        if (!replaced) {
            EXPECT_EQ(LoadRecordingForPlayback(*store, "Rec"), original);
        }
        execOnFile("DROP TRIGGER IF EXISTS fail_writes");
    }
}

TEST_F(RecordingEditorTest, CopiedEventsOutliveTheEditorAndPasteWithTheirIntervals) {
    auto editor = open("Rec");
    select(*editor, {1, 2});
    editor->CopyClicked();
    editor->reject();
    EXPECT_TRUE(messages.shown.empty());  // nothing changed, nothing asked
    editor = open("Other");
    select(*editor, {0, 1});
    editor->PasteClicked();
    EXPECT_EQ(messages.shown.size(), 1u);  // more than one row: nothing pasted
    select(*editor, {});
    editor->PasteClicked();
    EXPECT_EQ(editor->model().events(), (Events{{kWmKeyDown, 0x41, 0, 5000, 7},
                                                {kWmKeyDown, 0x42, 0, 5010, 7},
                                                {kWmKeyDown, 0x42, 0, 5020, 7},
                                                {kWmKeyDown, 0x43, 0, 5030, 7}}));
    editor->show();
    messages.answers = {MsgAnswer::No};
    editor->reject();
    EXPECT_EQ(messages.texts().back(),
              "Any changes to this recording will be lost if you continue.\n\nDo you wish to "
              "continue?");
    EXPECT_TRUE(editor->isVisible());
}

struct EventCase {
    int choice;  // index in the event list, -1 for none
    const char* interval;
    const char* x;
    const char* y;
    const char* key;
    const char* message;  // the box shown, or "" when the dialog closes
    JournalEvent event;
};

TEST_F(RecordingEditorTest, EventDialogChecksItsFieldsInOrder) {
    const KeyLayout layout = usKeyLayout();
    const std::uint32_t scanA = layout.scanOfVk[0x41];
    const std::vector<EventCase> cases = {
        {-1, "", "", "", "", "Event must be selected.", {}},
        {1, "5", "1025", "0", "", "X Coordinates must be >= 0 and <= 1024", {}},
        {1, "5", "-1", "0", "", "X Coordinates must be >= 0 and <= 1024", {}},
        {1, "x", "10", "769", "", "Y Coordinates must be >= 0 and <= 768", {}},
        {1, "-5", " +1024 ", "768", "", "Interval must be a positive number!", {}},
        {1, " +250", " +1024 ", "768", "", "", {kWmLButtonDown, 1024, 768, 250, 0}},
        {8, "7", "", "", "", "Key must be selected.", {}},
        {9, "", "", "", "aA", "Interval must be a positive number!", {}},
        {9, "7", "", "", "aA", "", {kWmKeyUp, 0x41 | scanA << 8, scanA, 7, 0}},
    };
    for (const EventCase& c : cases) {
        SCOPED_TRACE(c.message);
        RecordingEditorEventDialog dialog(dialogServices(), std::nullopt);
        dialog.eventBox()->setCurrentIndex(c.choice);
        dialog.intervalEdit()->setText(QString::fromLatin1(c.interval));
        dialog.xEdit()->setText(QString::fromLatin1(c.x));
        dialog.yEdit()->setText(QString::fromLatin1(c.y));
        dialog.keyBox()->setCurrentIndex(dialog.keyBox()->findText(QString::fromLatin1(c.key)));
        messages.clear();
        dialog.accept();
        if (*c.message) {
            EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(dialog.result(), QDialog::Rejected);
        } else {
            EXPECT_TRUE(messages.shown.empty());
            const EditedEvent& result = dialog.edited();
            EXPECT_EQ((JournalEvent{result.event.message, result.event.paramL, result.event.paramH,
                                    result.interval, 0}),
                      c.event);
        }
    }
}

TEST_F(RecordingEditorTest, APickTakesTheSpecialButtonsPointOrZeroOnCtrlBreak) {
    EditedEvent preset{{kWmMouseMove, 3, 4, 0, 0}, 9};
    RecordingEditorEventDialog dialog(dialogServices(), preset);
    EXPECT_EQ(dialog.windowTitle(), "Keystrider - Edit Event");
    using Kind = CapturedInput::Kind;
    const std::vector<std::pair<std::vector<CapturedInput>, const char*>> picks = {
        {{{Kind::ButtonRelease, 1, 0, 5, 6}, {Kind::ButtonRelease, 3, 0, 300, 400}}, "300,400"},
        {{{Kind::KeyPress, 127, CapturedInput::kControl, 9, 9}}, "0,0"},
    };
    for (const auto& [inputs, point] : picks) {
        dialog.PickClicked();
        ASSERT_TRUE(capture.capturing);
        capture.deliver(inputs);
        EXPECT_FALSE(capture.capturing);
        EXPECT_EQ((dialog.xEdit()->text() + "," + dialog.yEdit()->text()).toStdString(), point);
    }
    capture.refuse = true;
    dialog.PickClicked();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Unable to set hook for recording!"});
}

}  // namespace
}  // namespace ks::test
