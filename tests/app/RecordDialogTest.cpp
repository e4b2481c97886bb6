#include "app/RecordDialog.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "AppFixture.h"
#include "RecorderDoubles.h"
#include "RecordingInput.h"
#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "journal/RecordingStore.h"

namespace ks::test {
namespace {

using Kind = CapturedInput::Kind;

const std::vector<CapturedInput> typedAThenCtrlBreak = {
    {Kind::KeyPress, 38, 0, 0, 0, 100, 9},
    {Kind::KeyRelease, 38, 0, 0, 0, 140, 9},
    {Kind::KeyPress, 37, 0, 0, 0, 200, 9},
    {Kind::KeyPress, 127, CapturedInput::kControl, 0, 0, 210, 9}};

class RecordDialogTest : public AppFixture {
protected:
    RecordDialogTest() { windows.windows = {{41, "Editor", false}, {42, "", true}}; }

    // Picks the first window, records `inputs` and lets the dialog handle what they posted.
    void record(RecordDialog& dialog, const std::vector<CapturedInput>& inputs) {
        dialog.windowList()->setCurrentItem(dialog.windowList()->topLevelItem(0));
        dialog.recordClicked();
        QCoreApplication::processEvents();
        ASSERT_TRUE(capture.capturing);
        capture.deliver(inputs);
        QCoreApplication::processEvents();
    }

    RecordDialog::Services services{*store, messages, windows, keymap, capture, cancelWatch};
    Guide guide;
};

// The dialog says when positions are moves, not places; Cancel stops the
// capture and forgets it.
TEST_F(RecordDialogTest, SaysWhenPositionsAreMovesAndCancelForgetsTheCapture) {
    for (const bool absolute : {true, false}) {
        capture.absolute = absolute;
        RecordDialog dialog(services, guide, nullptr, {});
        EXPECT_EQ(dialog.findChild<QLabel*>("relativePositions") == nullptr, absolute);
        record(dialog, {{Kind::Motion, 0, 0, 1, 2, 3, 4}});
        dialog.reject();
        EXPECT_FALSE(capture.capturing);
        EXPECT_EQ(dialog.recorder().events(), nullptr);
    }
}

// Add on the main window holds the busy mark while its dialog is open; the
// dialog records and saves under a name no listed recording has.
TEST_F(RecordDialogTest, AddOnTheMainWindowRecordsWhileBusyAndSavesUnderANewName) {
    bool busyWhileOpen = false;
    MainWindow window(makeShell());
    ASSERT_TRUE(window.initialise());
    new QTreeWidgetItem(window.recordingList(), QStringList{"Taken"});  // listed, not stored

    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<RecordDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        busyWhileOpen = noted.busy;
        EXPECT_EQ(columnTexts(dialog->windowList(), 0), (Texts{"Editor", "Task Bar"}));
        Texts buttons;
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            buttons.push_back(button->text().toStdString() + (button->isDefault() ? "*" : ""));
        EXPECT_EQ(buttons, (Texts{"Record", "Save*", "Cancel", "&Help"}));
        dialog->recordClicked();
        dialog->typeButton(RecordingType::Keyboard)->setChecked(true);
        record(*dialog, typedAThenCtrlBreak);
        dialog->nameEdit()->setText("taken");
        dialog->saveClicked();
        EXPECT_TRUE(dialog->isVisible());  // already in use; the events stay
        dialog->nameEdit()->setText("New");
        dialog->saveClicked();
    });
    // A failed step above leaves the dialog open: close it rather than hang.
    QTimer::singleShot(5000, [] {
        if (auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    window.addRecording();

    EXPECT_TRUE(busyWhileOpen);
    EXPECT_FALSE(noted.busy);
    EXPECT_EQ(messages.texts(), (Texts{"No starting window selected!", "Recording stopped!",
                                       "Recording name already in use.\n\nPlease select a "
                                       "different name."}));
    EXPECT_EQ(columnTexts(window.recordingList(), 0), (Texts{"Taken", "New"}));
    EXPECT_EQ(listRecordings(*store), (std::vector<RecordingRow>{{"New", "Keyboard", 2}}));
}

}  // namespace
}  // namespace ks::test
