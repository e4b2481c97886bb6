#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "journal/Recorder.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace ks {

class Guide;

// "Keystrider - Record": names the recording, picks the event classes and
// the window to start in, runs the capture and saves it.
class RecordDialog final : public QDialog, private RecorderHost {
public:
    using Services = Recorder::Services;

    // `mainWindow` is minimised during a capture when asked to; `listedNames`
    // are the recordings the main window lists; Help opens `guide`.
    RecordDialog(Services services, Guide& guide, QWidget* mainWindow,
                 std::vector<std::string> listedNames);
    ~RecordDialog() override;

    // The recording saved when the dialog closed with OK.
    const std::string& savedName() const { return savedName_; }
    RecordingType savedType() const { return recorder_.type(); }

    // The buttons, as a click runs them.
    void recordClicked();
    void saveClicked();
    void reject() override;

    QLineEdit* nameEdit() const { return name_; }
    QTreeWidget* windowList() const { return windows_; }
    QRadioButton* typeButton(RecordingType type) const;
    QCheckBox* minimizeBox() const { return minimize_; }
    const Recorder& recorder() const { return recorder_; }

private:
    // Says so when the capture sees only the pointer's moves (Wayland).
    void buildLayout(bool absolutePositions);
    void fillWindowList();

    void post(std::function<void()> task) override;
    void raiseDialog() override;
    void minimizeMainWindow(bool minimized) override;
    void closeDialog() override;

    Guide& guide_;
    WindowControl& windowControl_;
    QWidget* mainWindow_;
    std::vector<std::string> listedNames_;
    std::string savedName_;
    QLineEdit* name_ = nullptr;
    QRadioButton* both_ = nullptr;
    QRadioButton* keyboard_ = nullptr;
    QRadioButton* mouse_ = nullptr;
    QCheckBox* minimize_ = nullptr;
    QTreeWidget* windows_ = nullptr;
    Recorder recorder_;
};

}  // namespace ks
