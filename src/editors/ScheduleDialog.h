#pragma once

#include <QDialog>

#include <array>
#include <ctime>
#include <optional>
#include <vector>

#include "core/Messages.h"
#include "editors/DialogHelp.h"
#include "platform/Clock.h"
#include "triggers/ScheduleRules.h"

class QComboBox;
class QDate;
class QGridLayout;
class QTreeWidget;
class QTreeWidgetItem;

namespace ks {

// "Keystrider - Schedule": edits a macro's list of schedules. Each row shows
// a schedule as it is stored; the fields below the list build a row, enabled
// as the chosen period needs them.
class ScheduleDialog final : public QDialog {
public:
    ScheduleDialog(const std::vector<Schedule>& schedules, Messages& messages, Clock& clock,
                   QWidget* parent = nullptr, const HelpAction& help = {});

    // The list as its rows show it; the caller takes it when the dialog
    // closed with OK.
    std::vector<Schedule> schedules() const;

    QTreeWidget* list() const { return list_; }
    QComboBox* periodBox() const { return period_; }
    QComboBox* fieldBox(ScheduleField field) const {
        return fields_[static_cast<std::size_t>(field)];
    }

private:
    void buildLayout(const HelpAction& help);
    QComboBox* addField(QGridLayout* grid, int place, const QString& label,
                        const QStringList& choices);

    std::uint32_t chosenPeriod() const;
    void applyPeriod();
    void refillDays();
    void loadRow(const QTreeWidgetItem* row);
    void attention(const std::string& text);
    std::optional<Schedule> checkedSchedule();
    void addClicked();
    void updateClicked();
    void deleteClicked();
    void calendarClicked();
    QDate calendarStart() const;
    void copyDate(const QDate& date);
    std::tm today() const;

    Messages& messages_;
    Clock& clock_;
    const int firstYear_;  // the first the Year field offers: this year
    QTreeWidget* list_ = nullptr;
    QComboBox* period_ = nullptr;
    std::array<QComboBox*, kScheduleFieldCount> fields_{};
};

}  // namespace ks
