#include "editors/ScheduleDialog.h"

#include <gtest/gtest.h>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateTime>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "FakeClock.h"
#include "RecordingMessages.h"

namespace ks::test {
namespace {

using F = ScheduleField;
using Row = std::array<const char*, 6>;

// Drives the dialog through its widgets; a row or the fields read as "text|text|…".
class ScheduleDialogTest : public ::testing::Test {
protected:
    void open(std::vector<Schedule> rows = {}, int year = 2024) {
        clock.set(QDateTime(QDate(year, 6, 15), QTime(12, 0)).toMSecsSinceEpoch());
        dialog = std::make_unique<ScheduleDialog>(rows, messages, clock);
        dialog->show();  // rows get places to click
    }
    QComboBox* box(int field) { return dialog->fieldBox(static_cast<F>(field)); }
    void pick(QComboBox* combo, const QString& text) {
        combo->setCurrentIndex(combo->findText(text));
        ASSERT_EQ(combo->currentText(), text);
    }
    void click(const QString& text) {
        for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
            if (b->text() == text) b->click();
        }
    }
    void clickRow(int row, Qt::KeyboardModifiers keys = {}) {
        const QRect place = dialog->list()->visualItemRect(dialog->list()->topLevelItem(row));
        QTest::mouseClick(dialog->list()->viewport(), Qt::LeftButton, keys, place.center());
    }
    std::string texts(QTreeWidgetItem* row = nullptr) {
        QStringList out{row ? row->text(0) : dialog->periodBox()->currentText()};
        for (int f = 0; f < 7; ++f) out << (row ? row->text(f + 1) : box(f)->currentText());
        return out.join('|').toStdString();
    }

    FakeClock clock;
    RecordingMessages messages;
    std::unique_ptr<ScheduleDialog> dialog;
};

TEST_F(ScheduleDialogTest, EachPeriodEnablesItsFieldsAndAddWritesNotApplicableForTheOthers) {
    // Year, Month, Day and Day of Week are picked; Hour, Minute and Second keep their default.
    const std::vector<std::string> added = {
        "Once|2025|March|31|N/A|00|00|00",        "Every Year|N/A|March|31|N/A|00|00|00",
        "Every Month|N/A|N/A|31|N/A|00|00|00",    "Every Week|N/A|N/A|N/A|Friday|00|00|00",
        "Every Day|N/A|N/A|N/A|N/A|00|00|00",     "Every Hour|N/A|N/A|N/A|N/A|N/A|00|00",
        "Every Minute|N/A|N/A|N/A|N/A|N/A|N/A|00"};
    open();
    for (std::uint32_t period = 0; period < kPeriodCount; ++period) {
        const QStringList want = QString::fromStdString(added[period]).split('|');
        pick(dialog->periodBox(), want[0]);
        for (int f = 0; f < 7; ++f) {
            const bool used = want[f + 1] != "N/A";
            EXPECT_TRUE(used ? box(f)->isEnabled()
                             : !box(f)->isEnabled() && box(f)->currentIndex() < 0)
                << added[period] << " field " << f;
            if (used && f < 4) pick(box(f), want[f + 1]);
        }
        click("Add");
        EXPECT_EQ(texts(dialog->list()->topLevelItem(static_cast<int>(period))), added[period]);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScheduleDialogTest, AddAndUpdateCheckTheUsedFieldsInOrderRowsLoadAndDelete) {
    const Schedule weekly{3, {"N/A", "N/A", "N/A", "Monday", "09", "30", "00"}};
    open({weekly, weekly});
    for (int f : {4, 5, 6}) box(f)->setCurrentIndex(-1);
    for (auto [f, value] :
         {std::pair{0, "2030"}, {1, "May"}, {2, "2"}, {4, "01"}, {5, "02"}, {6, "03"}}) {
        click("Add");
        pick(box(f), value);
    }
    click("Update");
    click("Add");
    clickRow(2);
    EXPECT_EQ(texts(), "Once|2030|May|2||01|02|03");
    pick(dialog->periodBox(), "Every Week");
    click("Update");
    pick(box(3), "Friday");
    click("Update");
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    click("Update");
    click("Delete");
    EXPECT_EQ(
        messages.texts(),
        (std::vector<std::string>{
            "Year must be specified.", "Month must be specified.", "Day must be specified.",
            "Hour must be specified.", "Minute must be specified.", "Second must be specified.",
            "One item must be selected to perform update.", "Day of Week must be specified.",
            "One item must be selected to perform update."}));
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Information));
    EXPECT_EQ(dialog->schedules(),
              (std::vector{Schedule{3, {"N/A", "N/A", "N/A", "Friday", "01", "02", "03"}}}));
}

TEST_F(ScheduleDialogTest, DayListFollowsPeriodYearAndMonthAndDropsADayBeyondIt) {
    // period, year, month, the list's last two days, the chosen 31 afterwards
    for (auto [period, year, month, tail, day, _] : {
             Row{"Once", "2024", "April", "29|30", ""},
             Row{"Once", "2024", "February", "28|29", ""},
             Row{"Once", "2100", "February", "27|28", ""},
             Row{"Once", "2000", "February", "28|29", ""},
             Row{"Every Year", "", "February", "27|28", ""},
             Row{"Once", "2024", "July", "30|31", "31"},
             Row{"Every Month", "", "", "31|Last Day of Month", "31"},
         }) {
        SCOPED_TRACE(std::string(period) + " " + year + " " + month);
        open({}, *year ? QString(year).toInt() : 2024);
        pick(dialog->periodBox(), period);
        pick(box(2), "31");
        if (*year) pick(box(0), year);
        if (*month) pick(box(1), month);
        const int n = box(2)->count();
        EXPECT_EQ((box(2)->itemText(n - 2) + '|' + box(2)->itemText(n - 1)).toStdString(), tail);
        EXPECT_EQ(box(2)->currentText(), day);
    }
}

TEST_F(ScheduleDialogTest, CalendarStartsAtTheChosenDateAndCopiesThePickedOneToEnabledFields) {
    for (auto [period, month, day, start, picked, after] : {
             Row{"Once", "", "", "2024-06-15", "2026-02-28", "Once|2026|February|28||00|00|00"},
             Row{"Every Year", "March", "31", "2024-03-31", "2025-01-07",
                 "Every Year||January|7||00|00|00"},
             Row{"Every Week", "", "", "2024-06-15", "2024-06-19",
                 "Every Week||||Wednesday|00|00|00"},
         }) {
        open();
        pick(dialog->periodBox(), period);
        if (*month) pick(box(1), month);
        if (*day) pick(box(2), day);
        click("Calendar");
        auto* calendar = dialog->findChild<QCalendarWidget*>();
        ASSERT_NE(calendar, nullptr);
        EXPECT_EQ(calendar->selectedDate(), QDate::fromString(start, Qt::ISODate));
        calendar->setSelectedDate(QDate::fromString(picked, Qt::ISODate));
        qobject_cast<QDialog*>(calendar->window())->accept();
        EXPECT_EQ(texts(), after);
    }
}

}  // namespace
}  // namespace ks::test
