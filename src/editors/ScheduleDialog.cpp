#include "editors/ScheduleDialog.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace ks {
namespace {

using F = ScheduleField;

constexpr int kPeriodRole = Qt::UserRole;
constexpr std::array kAllFields = {F::Year, F::Month,  F::Day,   F::DayOfWeek,
                                   F::Hour, F::Minute, F::Second};
// Each field's name as its column header, its label and its check's message give it.
constexpr std::array<const char*, kScheduleFieldCount> kFieldNames = {
    "Year", "Month", "Day", "Day of Week", "Hour", "Minute", "Second"};
constexpr std::array<int, kScheduleFieldCount + 1> kColumnWidths = {75, 50, 95, 50, 95, 50, 50, 50};
constexpr int kYearsOffered = 100;

std::size_t slot(ScheduleField field) {
    return static_cast<std::size_t>(field);
}
int column(ScheduleField field) {
    return static_cast<int>(field) + 1;
}

QStringList numbers(int first, int last, int width) {
    QStringList out;
    for (int n = first; n <= last; ++n) out << QString::number(n).rightJustified(width, u'0');
    return out;
}

template <std::size_t N>
QStringList names(const std::array<const char*, N>& texts) {
    QStringList out;
    for (const char* text : texts) out << QString::fromLatin1(text);
    return out;
}

// A monthly schedule may name any day a month can have, or the month's last.
QStringList dayChoices(std::uint32_t period, int year, int month) {
    if (period == static_cast<std::uint32_t>(SchedulePeriod::EveryMonth)) {
        return numbers(1, 31, 1) << QString::fromLatin1(kLastDayOfMonth);
    }
    return numbers(1, daysInMonth(year, month), 1);
}

// Selects `text`, or nothing when the box does not offer it.
void choose(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->findText(text));
}

void fillRow(QTreeWidgetItem* row, const Schedule& schedule) {
    row->setText(0, QString::fromUtf8(periodText(schedule.period)));
    row->setData(0, kPeriodRole, schedule.period);
    for (ScheduleField f : kAllFields) {
        row->setText(column(f), QString::fromStdString(schedule.field(f)));
    }
}

}  // namespace

ScheduleDialog::ScheduleDialog(const std::vector<Schedule>& schedules, Messages& messages,
                               Clock& clock, QWidget* parent, const HelpAction& help)
    : QDialog(parent), messages_(messages), clock_(clock), firstYear_(today().tm_year + 1900) {
    setWindowTitle(QStringLiteral("Keystrider - Schedule"));
    buildLayout(help);
    for (const Schedule& schedule : schedules) fillRow(new QTreeWidgetItem(list_), schedule);
    period_->setCurrentIndex(0);
}

void ScheduleDialog::buildLayout(const HelpAction& help) {
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget;
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);  // every column keeps its width
    list_->setHeaderLabels(QStringList{QStringLiteral("Execute")} << names(kFieldNames));
    for (int c = 0; c < static_cast<int>(kColumnWidths.size()); ++c) {
        list_->setColumnWidth(c, kColumnWidths[static_cast<std::size_t>(c)]);
    }
    connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row) { loadRow(row); });
    layout->addWidget(list_, 1);

    auto* grid = new QGridLayout;
    period_ = addField(grid, 0, QStringLiteral("Execute:"), names(kPeriodTexts));
    const std::array<QStringList, kScheduleFieldCount> choices = {
        numbers(firstYear_, firstYear_ + kYearsOffered - 1, 4),
        names(kMonthNames),
        {},
        names(kWeekdayNames),
        numbers(0, 23, 2),
        numbers(0, 59, 2),
        numbers(0, 59, 2)};
    for (ScheduleField f : kAllFields) {
        fields_[slot(f)] = addField(
            grid, column(f), QString::fromLatin1(kFieldNames[slot(f)]) + u':', choices[slot(f)]);
    }
    connect(period_, &QComboBox::currentIndexChanged, this, [this] { applyPeriod(); });
    for (ScheduleField f : {F::Year, F::Month}) {
        connect(fieldBox(f), &QComboBox::currentIndexChanged, this, [this] { refillDays(); });
    }
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    const std::array<std::pair<const char*, void (ScheduleDialog::*)()>, 4> actions = {
        {{"Add", &ScheduleDialog::addClicked},
         {"Update", &ScheduleDialog::updateClicked},
         {"Delete", &ScheduleDialog::deleteClicked},
         {"Calendar", &ScheduleDialog::calendarClicked}}};
    for (auto [text, action] : actions) {
        auto* button = new QPushButton(QString::fromLatin1(text));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    addHelpButton(box, help);
    buttons->addWidget(box);
    layout->addLayout(buttons);
    resize(560, 360);
}

// Four labelled fields a line, in list column order.
QComboBox* ScheduleDialog::addField(QGridLayout* grid, int place, const QString& label,
                                    const QStringList& choices) {
    auto* box = new QComboBox;
    box->addItems(choices);
    box->setCurrentIndex(-1);
    auto* caption = new QLabel(label);
    caption->setBuddy(box);
    grid->addWidget(caption, place / 4, 2 * (place % 4));
    grid->addWidget(box, place / 4, 2 * (place % 4) + 1);
    return box;
}

std::uint32_t ScheduleDialog::chosenPeriod() const {
    return static_cast<std::uint32_t>(period_->currentIndex());  // no choice: no period
}

void ScheduleDialog::applyPeriod() {
    for (ScheduleField f : kAllFields) {
        QComboBox* box = fieldBox(f);
        const bool used = periodUsesField(chosenPeriod(), f);
        box->setEnabled(used);
        if (!used) {
            box->setCurrentIndex(-1);
        } else if (f >= F::Hour && box->currentIndex() < 0) {
            box->setCurrentIndex(0);
        }
    }
    refillDays();
}

void ScheduleDialog::refillDays() {
    QComboBox* day = fieldBox(F::Day);
    const QString chosen = day->currentText();
    const QStringList choices = dayChoices(chosenPeriod(), fieldBox(F::Year)->currentText().toInt(),
                                           fieldBox(F::Month)->currentIndex() + 1);
    day->clear();
    day->addItems(choices);
    day->setCurrentIndex(choices.indexOf(chosen));
}

void ScheduleDialog::loadRow(const QTreeWidgetItem* row) {
    const std::uint32_t period = row->data(0, kPeriodRole).toUInt();
    period_->setCurrentIndex(period < kPeriodCount ? static_cast<int>(period) : -1);
    for (ScheduleField f : kAllFields) {
        if (fieldBox(f)->isEnabled()) choose(fieldBox(f), row->text(column(f)));
    }
}

void ScheduleDialog::attention(const std::string& text) {
    messages_.show(text, "Attention", MsgIcon::Information);
}

std::optional<Schedule> ScheduleDialog::checkedSchedule() {
    if (period_->currentIndex() < 0) return std::nullopt;
    Schedule schedule;
    schedule.period = chosenPeriod();
    for (ScheduleField f : kAllFields) {
        const QString text = fieldBox(f)->currentText();
        if (!periodUsesField(schedule.period, f)) {
            schedule.field(f) = kNotApplicable;
        } else if (text.isEmpty()) {
            attention(std::string(kFieldNames[slot(f)]) + " must be specified.");
            return std::nullopt;
        } else {
            schedule.field(f) = text.toStdString();
        }
    }
    return schedule;
}

void ScheduleDialog::addClicked() {
    if (const auto schedule = checkedSchedule()) fillRow(new QTreeWidgetItem(list_), *schedule);
}

void ScheduleDialog::updateClicked() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.size() != 1) return attention("One item must be selected to perform update.");
    if (const auto schedule = checkedSchedule()) fillRow(selected.front(), *schedule);
}

void ScheduleDialog::deleteClicked() {
    qDeleteAll(list_->selectedItems());
}

void ScheduleDialog::calendarClicked() {
    auto* picker = new QDialog(this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setWindowTitle(QStringLiteral("Calendar"));
    auto* layout = new QVBoxLayout(picker);
    auto* calendar = new QCalendarWidget;
    // Only dates the Year field offers can be copied back.
    calendar->setDateRange(QDate(firstYear_, 1, 1), QDate(firstYear_ + kYearsOffered - 1, 12, 31));
    calendar->setSelectedDate(calendarStart());
    layout->addWidget(calendar);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(box);
    connect(calendar, &QCalendarWidget::activated, picker, &QDialog::accept);
    connect(box, &QDialogButtonBox::accepted, picker, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, picker, &QDialog::reject);
    connect(picker, &QDialog::accepted, this,
            [this, calendar] { copyDate(calendar->selectedDate()); });
    picker->open();
}

// The chosen year, month and day, each field without a choice taking today's.
QDate ScheduleDialog::calendarStart() const {
    const std::tm now = today();
    const int chosenYear = fieldBox(F::Year)->currentText().toInt();
    const int year = chosenYear > 0 ? chosenYear : now.tm_year + 1900;
    const int chosenMonth = fieldBox(F::Month)->currentIndex() + 1;
    const int month = chosenMonth > 0 ? chosenMonth : now.tm_mon + 1;
    const int chosenDay = fieldBox(F::Day)->currentText().toInt();
    const int day = chosenDay > 0 ? chosenDay : now.tm_mday;
    return QDate(year, month, std::min(day, daysInMonth(year, month)));
}

void ScheduleDialog::copyDate(const QDate& date) {
    const std::array<std::pair<ScheduleField, QString>, 4> picked = {
        {{F::Year, QString::number(date.year())},
         {F::Month, QString::fromLatin1(kMonthNames[static_cast<std::size_t>(date.month() - 1)])},
         {F::Day, QString::number(date.day())},
         {F::DayOfWeek,
          QString::fromLatin1(kWeekdayNames[static_cast<std::size_t>(date.dayOfWeek() % 7)])}}};
    for (const auto& [field, text] : picked) {
        if (fieldBox(field)->isEnabled()) choose(fieldBox(field), text);
    }
}

std::tm ScheduleDialog::today() const {
    const std::time_t now = static_cast<std::time_t>(clock_.wallMillis() / 1000);
    std::tm parts{};
    localtime_r(&now, &parts);
    return parts;
}

std::vector<Schedule> ScheduleDialog::schedules() const {
    std::vector<Schedule> out;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list_->topLevelItem(i);
        Schedule schedule;
        schedule.period = row->data(0, kPeriodRole).toUInt();
        for (ScheduleField f : kAllFields) schedule.field(f) = row->text(column(f)).toStdString();
        out.push_back(std::move(schedule));
    }
    return out;
}

}  // namespace ks
