#pragma once

#include <QDialog>

#include <vector>

#include "core/Messages.h"
#include "editors/CommandRecord.h"
#include "editors/DialogHelp.h"
#include "journal/RecordingStore.h"

class QButtonGroup;
class QLineEdit;
class QTreeWidget;

namespace ks {

// "Keystrider - PLAYBACK RECORDING": which recording, which of its events and
// at what speed.
class PlaybackDialog final : public QDialog {
public:
    PlaybackDialog(const std::vector<RecordingRow>& recordings, CommandRecord record,
                   Messages& messages, QWidget* parent = nullptr, const HelpAction& help = {});

    CommandRecord record() const { return record_; }
    void accept() override;

    QTreeWidget* list() const { return list_; }
    QButtonGroup* events() const { return events_; }
    QButtonGroup* speeds() const { return speeds_; }
    QLineEdit* percent() const { return percent_; }

private:
    void rowChosen();
    void speedChosen(int speed);
    void load();

    CommandRecord record_;
    Messages& messages_;
    QTreeWidget* list_ = nullptr;
    QButtonGroup* events_ = nullptr;
    QButtonGroup* speeds_ = nullptr;
    QLineEdit* percent_ = nullptr;
};

}  // namespace ks
