#include "editors/RecordingEditor.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include "EditorDesktop.h"
#include "RecorderDoubles.h"
#include "UsKeymap.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

using Events = std::vector<JournalEvent>;
using Texts = std::vector<std::string>;

Events keyEvents(std::uint32_t first, std::size_t count) {
    Events events;
    for (std::uint32_t i = 0; i < count; ++i)
        events.push_back({kWmKeyDown, 0x41 + i, 0, first + 10 * i, 7});
    return events;
}

class RecordingEditorTest : public StoreFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(store->EnsureRootKeys());
        ASSERT_TRUE(WriteRecording(*store, "Rec", keyEvents(1000, 3), 2));
        ASSERT_TRUE(WriteRecording(*store, "Other", keyEvents(5000, 2), 2));
    }
    EventDialogServices dialogServices() {  // the right button picks
        return {messages, {1024, 768}, desktop.pick()};
    }
    std::unique_ptr<RecordingEditor> open(const std::string& name) {
        return std::make_unique<RecordingEditor>(
            RecordingEditor::Services{*store, clipboard, dialogServices()}, name,
            RecordingType::Keyboard);
    }
    void select(RecordingEditor& editor, int first, int last) {
        const QItemSelection rows(editor.model().index(first, 0), editor.model().index(last, 0));
        editor.eventList()->selectionModel()->select(
            rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    Texts names() {
        Texts out;
        for (const RecordingRow& row : listRecordings(*store)) out.push_back(row.name);
        return out;
    }

    EventClipboard clipboard;
    EditorDesktop desktop;
};

// The first event is deleted before each save: the saved recording holds the other two.
// {Save As, name, a value whose write fails or "", the box shown or "", the recordings after}
TEST_F(RecordingEditorTest, SaveReplacesAsOneChangeAndSaveAsAddsUnderAFreeName) {
    const char* inUse = "Recording name already in use.\n\nPlease select a different name.";
    const char* empty = "Recording name must not be empty!";
    const std::vector<std::tuple<bool, const char*, const char*, const char*, Texts>> cases = {
        {false, "Rec", "", "", {"Other", "Rec"}},
        {false, "  New ", "", "", {"New", "Other"}},
        {false, "Other", "", inUse, {"Other", "Rec"}},
        {false, " ", "", empty, {"Other", "Rec"}},
        {false, "New", "Count", "", {"Other", "Rec"}},
        {true, "Rec", "", inUse, {"Other", "Rec"}},
        {true, " Copy", "", "", {"Copy", "Other", "Rec"}},
        {true, "", "", empty, {"Other", "Rec"}},
    };
    const Events original = keyEvents(1000, 3), edited(original.begin() + 1, original.end());
    for (const auto& [saveAs, name, failing, message, after] : cases) {
        SCOPED_TRACE(name);
        for (const std::string& old : names()) deleteRecording(*store, old);
        SetUp();
        const auto editor = open("Rec");
        editor->model().removeEvents({0});
        editor->nameEdit()->setText(QString::fromLatin1(name));
        if (*failing) failWritesOf(failing);
        messages.clear();
        saveAs ? editor->saveAsClicked() : editor->saveClicked();
        const bool saved = *message == 0 && *failing == 0;
        EXPECT_EQ(editor->result(), saved ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(messages.texts(), *message ? Texts{message} : messages.texts());
        EXPECT_EQ(names(), after);
        EXPECT_EQ(loadRecordingForPlayback(*store, saved ? editor->savedName() : "Rec"),
                  saved ? edited : original);
        execOnFile("DROP TRIGGER IF EXISTS fail_writes");
    }
}

TEST_F(RecordingEditorTest, CopiedEventsOutliveTheEditorAndPasteWithTheirIntervals) {
    auto editor = open("Rec");
    select(*editor, 1, 2);
    editor->copyClicked();
    editor->reject();  // nothing changed, nothing asked
    editor = open("Other");
    select(*editor, 0, 1);
    editor->pasteClicked();
    EXPECT_EQ(messages.shown.size(), 1u);  // more than one row: nothing pasted
    editor->eventList()->clearSelection();
    editor->pasteClicked();
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

// Delete asks first; Edit opens the event dialog on the selected row's event and interval,
// and what it gives replaces the row: here one gap stretched.
TEST_F(RecordingEditorTest, DeleteAsksFirstAndEditReplacesTheSelectedEvent) {
    const std::uint32_t m = kWmMouseMove;
    ASSERT_TRUE(WriteRecording(
        *store, "Moves", {{m, 100, 1, 5000, 0}, {m, 150, 1, 5300, 0}, {m, 200, 1, 5350, 0}}, 1));
    const auto editor = open("Moves");
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        messages.answers = {answer};
        select(*editor, 1, 1);
        editor->deleteClicked();
    }
    EXPECT_EQ(messages.texts(), Texts(2, "Are you sure you want to delete the selected event(s)?"));
    select(*editor, 1, 1);
    QTimer::singleShot(0, editor.get(), [] {
        auto* dialog = dynamic_cast<RecordingEditorEventDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->intervalEdit()->setText("400");
        dialog->accept();
    });
    editor->editClicked();
    EXPECT_EQ(editor->model().events(), (Events{{m, 100, 1, 5000, 0}, {m, 200, 1, 5400, 0}}));
}

// {event list index or -1, interval, x, y, key, the box shown or "", the event given}
TEST_F(RecordingEditorTest, EventDialogChecksItsFieldsInOrder) {
    const std::uint32_t scanA = usKeyLayout().scanOfVk[0x41];
    using Case = std::tuple<int, const char*, const char*, const char*, const char*, const char*,
                            JournalEvent>;
    const std::vector<Case> cases = {
        {-1, "", "", "", "", "Event must be selected.", {}},
        {1, "5", "1025", "0", "", "X Coordinates must be >= 0 and <= 1024", {}},
        {1, "5", "-1", "0", "", "X Coordinates must be >= 0 and <= 1024", {}},
        {1, "x", "10", "769", "", "Y Coordinates must be >= 0 and <= 768", {}},
        {1, " +250", " +1024 ", "768", "", "", {kWmLButtonDown, 1024, 768, 250, 0}},
        {8, "7", "", "", "", "Key must be selected.", {}},
        {9, "", "", "", "aA", "Interval must be a positive number!", {}},
        {9, "7", "", "", "aA", "", {kWmKeyUp, 0x41 | scanA << 8, scanA, 7, 0}},
    };
    for (const auto& [choice, interval, x, y, key, message, event] : cases) {
        SCOPED_TRACE(message);
        RecordingEditorEventDialog dialog(dialogServices(), std::nullopt);
        dialog.eventBox()->setCurrentIndex(choice);
        dialog.intervalEdit()->setText(interval);
        dialog.xEdit()->setText(x);
        dialog.yEdit()->setText(y);
        dialog.keyBox()->setCurrentIndex(dialog.keyBox()->findText(key));
        messages.clear();
        dialog.accept();
        EXPECT_EQ(messages.texts(), *message ? Texts{message} : Texts{});
        const EditedEvent& given = dialog.edited();  // the interval in the time field
        EXPECT_EQ((JournalEvent{given.event.message, given.event.paramL, given.event.paramH,
                                given.interval, 0}),
                  event);
    }
}

TEST_F(RecordingEditorTest, APickTakesTheSpecialButtonsPointOrZeroOnCtrlBreak) {
    EditedEvent preset{{kWmMouseMove, 3, 4, 0, 0}, 9};
    RecordingEditorEventDialog dialog(dialogServices(), preset);
    using Kind = CapturedInput::Kind;
    const std::vector<std::pair<std::vector<CapturedInput>, const char*>> picks = {
        {{{Kind::ButtonRelease, 1, 0, 5, 6}, {Kind::ButtonRelease, 3, 0, 300, 400}}, "300,400"},
        {{{Kind::KeyPress, 127, CapturedInput::kControl, 9, 9}}, "0,0"},
    };
    const auto cover = [] { return QApplication::topLevelAt(QPoint(0, 0)); };
    for (const auto& [inputs, point] : picks) {
        dialog.pickClicked();
        // The click lands on the program's own cover over the whole desktop.
        ASSERT_NE(cover(), nullptr);
        EXPECT_EQ(cover()->geometry(), QApplication::primaryScreen()->virtualGeometry());
        desktop.capture.deliver(inputs);
        EXPECT_FALSE(desktop.capture.capturing);
        EXPECT_EQ(cover(), nullptr);
        EXPECT_EQ((dialog.xEdit()->text() + "," + dialog.yEdit()->text()).toStdString(), point);
    }
    desktop.capture.refuse = true;
    dialog.pickClicked();
    EXPECT_EQ(messages.texts(), Texts{"Unable to set hook for recording!"});
}

}  // namespace
}  // namespace ks::test
