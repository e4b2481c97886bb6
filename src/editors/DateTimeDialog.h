#pragma once

#include <QDialog>

#include <array>

#include "core/Messages.h"
#include "editors/CommandRecord.h"
#include "editors/DialogHelp.h"
#include "system/DateTimeFormat.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ks {

// "Keystrider - SEND DATE" / "Keystrider - SEND TIME": which parts are
// typed, in which order and format, with what text around each, and a
// preview of the result.
class DateTimeDialog final : public QDialog {
public:
    DateTimeDialog(CommandRecord record, Messages& messages, QWidget* parent = nullptr,
                   const HelpAction& help = {});

    CommandRecord record() const;
    void accept() override;

    struct PartRow {
        QCheckBox* include = nullptr;
        QComboBox* order = nullptr;  // item 0 is "none chosen"
        QComboBox* format = nullptr;
        QLineEdit* prepend = nullptr;
        QLineEdit* append = nullptr;
    };
    const PartRow& row(std::size_t part) const { return rows_[part]; }
    QCheckBox* utcBox() const { return utc_; }

private:
    DateTimeParts parts() const;
    void load();
    void preview();

    CommandRecord record_;
    Messages& messages_;
    std::span<const PartKind, kPartCount> kinds_;
    std::array<PartRow, kPartCount> rows_{};
    QCheckBox* utc_ = nullptr;
    QLabel* preview_ = nullptr;
};

}  // namespace ks
