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

using Row = std::array<const char*, 6>;

// Drives the dialog through its widgets. Field 0 is "Execute:", 1 to 7 the schedule's fields;
// a row or the fields read as "text|text|…".
class ScheduleDialogTest : public ::testing::Test {
protected:
    void open(std::vector<Schedule> rows = {}, int year = 2024) {
        clock.set(QDateTime(QDate(year, 6, 15), QTime(12, 0)).toMSecsSinceEpoch());
        dialog = std::make_unique<ScheduleDialog>(rows, messages, clock);
        dialog->show();  // rows get places to click
    }
    QComboBox* box(int f) {
        return f ? dialog->fieldBox(static_cast<ScheduleField>(f - 1)) : dialog->periodBox();
    }
    void pick(int f, const QString& text) {
        box(f)->setCurrentIndex(box(f)->findText(text));
        ASSERT_EQ(box(f)->currentText(), text);
    }
    void click(const QString& button) {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == button) b->click();
    }
    void clickRow(int row, Qt::KeyboardModifiers keys = {}) {
        const QRect place = dialog->list()->visualItemRect(dialog->list()->topLevelItem(row));
        QTest::mouseClick(dialog->list()->viewport(), Qt::LeftButton, keys, place.center());
    }
    std::string texts(int row = -1) {
        const QTreeWidgetItem* item = dialog->list()->topLevelItem(row);
        if (row >= 0 && !item) return "no row " + std::to_string(row);
        QStringList out;
        for (int f = 0; f < 8; ++f) out << (item ? item->text(f) : box(f)->currentText());
        return out.join('|').toStdString();
    }

    FakeClock clock;
    RecordingMessages messages;
    std::unique_ptr<ScheduleDialog> dialog;
};

TEST_F(ScheduleDialogTest, EachPeriodEnablesItsFieldsAndAddWritesNotApplicableForTheOthers) {
    // Year to Day of Week are picked; Hour, Minute and Second keep their default.
    const std::vector<std::string> added = {
        "Once|2025|March|31|N/A|00|00|00",        "Every Year|N/A|March|31|N/A|00|00|00",
        "Every Month|N/A|N/A|31|N/A|00|00|00",    "Every Week|N/A|N/A|N/A|Friday|00|00|00",
        "Every Day|N/A|N/A|N/A|N/A|00|00|00",     "Every Hour|N/A|N/A|N/A|N/A|N/A|00|00",
        "Every Minute|N/A|N/A|N/A|N/A|N/A|N/A|00"};
    open();
    for (int row = 0; row < 7; ++row) {
        const QStringList want = QString::fromStdString(added[row]).split('|');
        pick(0, want[0]);
        for (int f = 1; f < 8; ++f) {
            const bool used = want[f] != "N/A";
            EXPECT_EQ(box(f)->isEnabled(), used) << added[row] << " field " << f;
            if (used && f < 5) pick(f, want[f]);
        }
        click("Add");
        EXPECT_EQ(texts(row), added[row]);
        EXPECT_EQ(texts(), QString::fromStdString(added[row]).replace("N/A", "").toStdString());
    }
}

TEST_F(ScheduleDialogTest, AddAndUpdateCheckTheUsedFieldsInOrderRowsLoadAndDelete) {
    const Schedule weekly{3, {"N/A", "N/A", "N/A", "Monday", "09", "30", "00"}};
    open({weekly, weekly});
    for (int f : {5, 6, 7}) box(f)->setCurrentIndex(-1);
    for (auto [f, text] :
         {std::pair{1, "2030"}, {2, "May"}, {3, "2"}, {5, "01"}, {6, "02"}, {7, "03"}}) {
        click("Add");
        pick(f, text);
    }
    click("Update");
    click("Add");
    clickRow(2);
    EXPECT_EQ(texts(), "Once|2030|May|2||01|02|03");
    pick(0, "Every Week");
    click("Update");
    pick(4, "Friday");
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
        open({}, *year ? QString(year).toInt() : 2024);
        pick(0, period);
        pick(3, "31");
        if (*year) pick(1, year);
        if (*month) pick(2, month);
        const int n = box(3)->count();
        EXPECT_EQ(box(3)->itemText(n - 2) + '|' + box(3)->itemText(n - 1), tail)
            << period << year << month;
        EXPECT_EQ(box(3)->currentText(), day) << period << year << month;
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
        pick(0, period);
        if (*month) pick(2, month);
        if (*day) pick(3, day);
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
