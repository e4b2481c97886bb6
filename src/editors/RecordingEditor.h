#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "editors/RecordingEditorEventDialog.h"
#include "editors/RecordingEditorModel.h"
#include "store/SettingsStore.h"

class QLineEdit;
class QTableView;

namespace ks {

// "Keystrider - Edit Recording": the events of one recording, edited in
// place and saved under its name, a new name, or as an additional recording.
class RecordingEditor final : public QDialog {
public:
    struct Services {
        SettingsStore& store;
        EventClipboard& clipboard;
        EventDialogServices eventDialog;
    };

    // A recording that cannot be loaded opens as an empty list, after the
    // load's message.
    RecordingEditor(Services services, std::string name, RecordingType type,
                    QWidget* parent = nullptr);

    // Once closed with OK: the name the recording now has, and whether it
    // was written as an additional recording.
    const std::string& savedName() const { return savedName_; }
    bool savedAsNew() const { return savedAsNew_; }
    bool modified() const { return modified_; }

    // The buttons, as a click runs them.
    void addClicked();
    void editClicked();
    void deleteClicked();
    void moveClicked(bool up);
    void copyClicked();
    void cutClicked();
    void pasteClicked();
    void saveClicked();
    void saveAsClicked();
    void reject() override;

    QLineEdit* nameEdit() const { return name_; }
    QTableView* eventList() const { return list_; }
    RecordingEditorModel& model() { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitColumns();
    int widthForHeaders() const;
    void buildLayout();
    std::vector<int> selectedRows() const;
    void selectRows(int first, int last);
    void attention(const std::string& text);
    std::size_t insertionRow(const std::vector<int>& rows) const;

    Services services_;
    const std::string openedName_;
    const RecordingType type_;
    RecordingEditorModel model_;
    std::string savedName_;
    bool savedAsNew_ = false;
    bool modified_ = false;
    QLineEdit* name_ = nullptr;
    QTableView* list_ = nullptr;
};

}  // namespace ks
