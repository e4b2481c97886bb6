#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>

#include "core/Messages.h"
#include "editors/ScreenPointPick.h"
#include "journal/JournalEvent.h"
#include "platform/KeyLayout.h"
#include "platform/ScreenSize.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ks {

// What the recording editor's event dialog works with; the pick's layout
// also names the keys.
struct EventDialogServices {
    Messages& messages;
    ScreenSize extent;  // the coordinates' upper limits
    PickServices pick;
};

// An event and the interval after its predecessor, as the dialog gives it.
struct EditedEvent {
    JournalEvent event;  // message, paramL and paramH
    std::uint32_t interval = 0;
};

// "Keystrider - Add Event" (no preset) or "Keystrider - Edit Event": one
// event of the sixteen kinds, its interval, and its point or its key. A
// point can be picked on the screen with the special-feature button.
class RecordingEditorEventDialog final : public QDialog {
public:
    RecordingEditorEventDialog(EventDialogServices services, std::optional<EditedEvent> preset,
                               QWidget* parent = nullptr);
    ~RecordingEditorEventDialog() override;

    // The checked event, once the dialog closed with OK.
    const EditedEvent& edited() const { return result_; }

    // OK: checks the fields; the dialog stays open on a failure.
    void accept() override;
    void pickClicked();

    QComboBox* eventBox() const { return event_; }
    QComboBox* keyBox() const { return key_; }
    QLineEdit* intervalEdit() const { return interval_; }
    QLineEdit* xEdit() const { return x_; }
    QLineEdit* yEdit() const { return y_; }
    QPushButton* pickButton() const { return pick_->button(); }

private:
    void buildLayout();
    void preset(const EditedEvent& edited);
    void showFieldsOfChoice();
    bool mouseChosen() const;
    std::optional<EditedEvent> checked();
    std::optional<std::uint32_t> coordinate(const QLineEdit* field, int limit, const char* text);
    void attention(const std::string& text, const char* title);

    EventDialogServices services_;
    EditedEvent result_;
    QComboBox* event_ = nullptr;
    QComboBox* key_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QLineEdit* x_ = nullptr;
    QLineEdit* y_ = nullptr;
    QLabel* keyLabel_ = nullptr;
    QLabel* xLabel_ = nullptr;
    QLabel* yLabel_ = nullptr;
    ScreenPointPick* pick_ = nullptr;
};

}  // namespace ks
