#include "app/RecordDialog.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include "AppFixture.h"
#include "RecorderDoubles.h"
#include "RecordingInput.h"
#include "app/MainWindow.h"
#include "journal/RecordingStore.h"

namespace ks::test {
namespace {

using Kind = CapturedInput::Kind;

std::vector<CapturedInput> typedAThenCtrlBreak() {
    return {{Kind::KeyPress, 38, 0, 0, 0, 100, 9},
            {Kind::KeyRelease, 38, 0, 0, 0, 140, 9},
            {Kind::KeyPress, 37, 0, 0, 0, 200, 9},
            {Kind::KeyPress, 127, CapturedInput::kControl, 0, 0, 210, 9}};
}

class RecordDialogTest : public AppFixture {
protected:
    RecordDialogTest() {
        windows.windows = {{41, "Editor", false}, {42, "", true}};
        windows.own = {7};
    }

    RecordDialog::Services services() {
        return RecordDialog::Services{*store, messages, windows, keymap, capture, cancelWatch};
    }

    std::vector<std::string> captions(QTreeWidget* list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts.push_back(list->topLevelItem(i)->text(0).toStdString());
        }
        return texts;
    }

    // Picks the first window, records `inputs` and lets the dialog handle what they posted.
    void record(RecordDialog& dialog, const std::vector<CapturedInput>& inputs) {
        dialog.windowList()->topLevelItem(0)->setSelected(true);
        dialog.windowList()->setCurrentItem(dialog.windowList()->topLevelItem(0));
        dialog.RecordClicked();
        QCoreApplication::processEvents();
        ASSERT_TRUE(capture.capturing);
        capture.deliver(inputs);
        QCoreApplication::processEvents();
    }

    FakeWindowControl windows;
    FixedKeymap keymap;
    FakeCapture capture;
    ScriptedCancelWatch cancelWatch;
};

TEST_F(RecordDialogTest, OpensWithItsControlsAndTheWindowList) {
    RecordDialog dialog(services(), nullptr, {});
    EXPECT_EQ(dialog.windowTitle(), "Keystrider - Record");
    EXPECT_TRUE(dialog.typeButton(RecordingType::KeyboardAndMouse)->isChecked());
    EXPECT_EQ(dialog.typeButton(RecordingType::KeyboardAndMouse)->text(), "Keyboard + Mouse");
    EXPECT_FALSE(dialog.minimizeBox()->isChecked());
    EXPECT_EQ(dialog.windowList()->headerItem()->text(0),
              "Begin recording in the following window:");
    EXPECT_EQ(captions(dialog.windowList()), (std::vector<std::string>{"Editor", "Task Bar"}));
    std::vector<std::string> buttons;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        buttons.push_back(button->text().toStdString() + (button->isDefault() ? "*" : ""));
    }
    EXPECT_EQ(buttons, (std::vector<std::string>{"Record", "Save*", "Cancel"}));

    dialog.typeButton(RecordingType::Mouse)->setChecked(true);
    EXPECT_EQ(dialog.recorder().type(), RecordingType::Mouse);
    dialog.RecordClicked();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"No starting window selected!"});

    // Cancel stops the capture and forgets it.
    record(dialog, {{Kind::Motion, 0, 0, 1, 2, 3, 4}});
    dialog.reject();
    EXPECT_FALSE(capture.capturing);
    EXPECT_EQ(dialog.recorder().events(), nullptr);
}

TEST_F(RecordDialogTest, RecordsAndSavesUnderTheTypedName) {
    RecordDialog dialog(services(), nullptr, {"Taken"});
    dialog.typeButton(RecordingType::Keyboard)->setChecked(true);
    record(dialog, typedAThenCtrlBreak());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Recording stopped!"});
    messages.clear();

    dialog.nameEdit()->setText("taken");
    dialog.SaveClicked();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(messages.texts().size(), 1u);  // already in use; the events stay

    dialog.nameEdit()->setText("Typed A");
    dialog.SaveClicked();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.savedName(), "Typed A");
    const auto events = LoadRecordingForPlayback(*store, "Typed A");
    ASSERT_TRUE(events.has_value());
    ASSERT_EQ(events->size(), 2u);
    EXPECT_EQ((*events)[1].time - (*events)[0].time, 40u);
    EXPECT_EQ(ListRecordings(*store), (std::vector<RecordingRow>{{"Typed A", "Keyboard", 2}}));
}

TEST_F(RecordDialogTest, AddOnTheMainWindowHoldsTheBusyMarkAndListsTheSavedRecording) {
    ShellHooks hooks = recordingHooks();
    bool busy = false;
    std::vector<bool> busyWhileOpen;
    hooks.exchangeBusy = [&busy](bool on) { return std::exchange(busy, on); };
    hooks.recordingDesktop = [this] {
        return RecordingDesktop{&windows, &keymap, &capture, &cancelWatch};
    };
    Shell shellWithRecorder(*store, hotKeys, hooks, {});
    MainWindow window(shellWithRecorder);
    ASSERT_TRUE(window.Initialise());

    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<RecordDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        busyWhileOpen.push_back(busy);
        record(*dialog, typedAThenCtrlBreak());
        dialog->nameEdit()->setText("New");
        dialog->SaveClicked();
    });
    // A failed step above leaves the dialog open: close it rather than hang.
    QTimer::singleShot(5000, [] {
        if (auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    window.AddRecording();

    EXPECT_EQ(busyWhileOpen, std::vector<bool>{true});
    EXPECT_FALSE(busy);
    QTreeWidget* list = window.recordingList();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "New");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Keyboard & Mouse");
}

}  // namespace
}  // namespace ks::test
