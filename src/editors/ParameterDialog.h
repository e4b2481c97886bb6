#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "editors/CommandRecord.h"
#include "editors/ParameterTable.h"
#include "editors/ScreenPointPick.h"
#include "journal/RecordingStore.h"
#include "platform/Dialogs.h"
#include "platform/WindowControl.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ks {

// What the parameter dialogs list and open beyond the command itself.
class ParameterSources {
public:
    ParameterSources() = default;
    ParameterSources(const ParameterSources&) = delete;
    ParameterSources& operator=(const ParameterSources&) = delete;
    virtual ~ParameterSources() = default;

    // Titles of the visible top-level windows, for the window picker.
    virtual std::vector<std::string> windowTitles() = 0;
    // The stored recordings, for PLAYBACK RECORDING.
    virtual std::vector<RecordingRow> recordings() = 0;
    // Opens the user guide at a command's section (0: the macro editor's).
    virtual void showHelp(std::uint32_t command) = 0;
};

// What a parameter dialog works with beyond the command.
struct ParameterHooks {
    ParameterSources& sources;
    Dialogs& dialogs;  // shows PROMPT USER's window for its View button
    // MOVE MOUSE POINTER's pick of a point on the screen, and the screen
    // and windows it is reckoned on.
    PickServices pick;
    WindowControl& windows;
};

// The parameter dialog of one command type, built from its table entry:
// filled from the command's values, and OK runs the entry's checks in order
// before it closes.
class ParameterDialog final : public QDialog {
public:
    ParameterDialog(const ParameterSpec& spec, CommandRecord record, Messages& messages,
                    ParameterHooks hooks, QWidget* parent = nullptr);

    // The command with the fields' values, taken after OK.
    CommandRecord record() const;
    void accept() override;

    // The widget of field `index` in the table entry (QLineEdit,
    // QPlainTextEdit, QComboBox, QCheckBox, or the group box of radio buttons).
    QWidget* fieldWidget(int index) const;

private:
    struct Field {
        const FieldSpec* spec = nullptr;
        QWidget* widget = nullptr;
        QLineEdit* line = nullptr;
        QPlainTextEdit* lines = nullptr;
        QComboBox* combo = nullptr;
        QCheckBox* check = nullptr;
        QButtonGroup* radios = nullptr;
        QPushButton* browseButton = nullptr;
    };

    void addField(QGridLayout* grid, const FieldSpec& spec);
    void addLabelled(QGridLayout* grid, Field& field, QWidget* input);
    void addButtons(QGridLayout* grid);
    void load();
    void linkEnabling();
    void addPointPick(QGridLayout* grid);
    void takePickedPoint(int x, int y);
    void placePointerAtFields(InputInjector& injector) const;
    void browse(const Field& field);
    QString fieldText(const Field& field) const;
    std::optional<std::int32_t> chosenNumber(const Field& field) const;
    QString mnemonic(const QString& text);

    const ParameterSpec& spec_;
    CommandRecord record_;
    Messages& messages_;
    ParameterHooks hooks_;
    std::vector<Field> fields_;
    QString usedMnemonics_ = QStringLiteral("och");
};

// The Help action of a command's dialog.
std::function<void()> helpFor(const ParameterHooks& hooks, std::uint32_t command);

// Opens the dialog of `record`'s type; true with the record changed on OK.
// A type without values leaves the record as it is and gives false.
bool editParameters(CommandRecord& record, Messages& messages, const ParameterHooks& hooks,
                    QWidget* parent);

}  // namespace ks
