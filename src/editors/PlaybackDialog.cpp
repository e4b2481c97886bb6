#include "editors/PlaybackDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Utf8.h"
#include "journal/JournalEvent.h"

namespace ks {

namespace {

enum Speed { kAsRecorded, kFaster, kSlower };
constexpr int kNameColumnWidth = 125;

QButtonGroup* radios(QGroupBox* box, const std::vector<std::pair<const char*, int>>& buttons) {
    auto* group = new QButtonGroup(box);
    auto* layout = new QVBoxLayout(box);
    for (const auto& [text, id] : buttons) {
        auto* radio = new QRadioButton(QString::fromUtf8(text), box);
        group->addButton(radio, id);
        layout->addWidget(radio);
    }
    return group;
}

// Digits with an optional sign and at most one point; the whole part, or
// nothing for any other text.
std::optional<long> percentValue(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]*)(\\.[0-9]*)?$"));
    const QRegularExpressionMatch match = number.match(text);
    if (text.isEmpty() || !match.hasMatch() || text == "+" || text == "-" || text == ".") {
        return std::nullopt;
    }
    const long whole = match.captured(1).toLong();
    return text.startsWith('-') ? -whole : whole;
}

}  // namespace

PlaybackDialog::PlaybackDialog(const std::vector<RecordingRow>& recordings, CommandRecord record,
                               Messages& messages, QWidget* parent, const HelpAction& help)
    : QDialog(parent), record_(std::move(record)), messages_(messages) {
    setWindowTitle(QStringLiteral("Keystrider - PLAYBACK RECORDING"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Recording Name"), QStringLiteral("Recording Type")});
    list_->setColumnWidth(0, kNameColumnWidth);
    list_->header()->setStretchLastSection(true);
    for (const RecordingRow& row : recordings) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(row.name));
        item->setText(1, QString::fromStdString(row.typeText));
        item->setData(1, Qt::UserRole, row.type);
    }
    layout->addWidget(list_);

    auto* eventBox = new QGroupBox(QStringLiteral("Replay which events:"), this);
    events_ = radios(eventBox, {{"&Keyboard + Mouse", 1}, {"K&eyboard", 2}, {"&Mouse", 3}});
    auto* speedBox = new QGroupBox(QStringLiteral("Replay speed:"), this);
    speeds_ = radios(speedBox, {{"&Speed at which it was recorded.", kAsRecorded},
                                {"&Increase speed.", kFaster},
                                {"&Decrease speed.", kSlower}});
    auto* percentRow = new QHBoxLayout;
    percent_ = new QLineEdit(this);
    auto* percentLabel = new QLabel(QStringLiteral("Increase/Decrease speed &by"), this);
    percentLabel->setBuddy(percent_);
    percentRow->addWidget(percentLabel);
    percentRow->addWidget(percent_);
    percentRow->addWidget(new QLabel(QStringLiteral("%"), this));
    // Inside the box, below its choices: a row added as a bare item would
    // keep its widgets on the dialog, drawn over the list.
    qobject_cast<QVBoxLayout*>(speedBox->layout())->addLayout(percentRow);
    auto* options = new QHBoxLayout;
    options->addWidget(eventBox);
    options->addWidget(speedBox);
    layout->addLayout(options);

    QDialogButtonBox* buttons = okCancelButtons(this, help, QStringLiteral("&Cancel"));
    layout->addWidget(buttons);

    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { rowChosen(); });
    connect(speeds_, &QButtonGroup::idClicked, this, [this](int id) { speedChosen(id); });
    load();
}

void PlaybackDialog::load() {
    const std::string wanted = utf8::upper(record_.text("JournalName"));
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (utf8::upper(item->text(0).toStdString()) == wanted) list_->setCurrentItem(item);
    }
    rowChosen();
    if (const auto stored = record_.number("PlayBackEvent")) {
        if (QAbstractButton* button = events_->button(static_cast<int>(*stored))) {
            if (button->isEnabled()) button->setChecked(true);
        }
    }
    const auto speed = percentValue(QString::fromStdString(record_.text("PlayBackSpeed")));
    const long s = speed.value_or(0);
    speeds_->button(s == 0 ? kAsRecorded : s > 0 ? kSlower : kFaster)->setChecked(true);
    speedChosen(speeds_->checkedId());
    if (s != 0) percent_->setText(QString::number(s > 0 ? s : -s));
}

// A recording of one kind of events can replay only those.
void PlaybackDialog::rowChosen() {
    const QTreeWidgetItem* item = list_->currentItem();
    const auto type =
        static_cast<RecordingType>(item ? item->data(1, Qt::UserRole).toUInt()
                                        : static_cast<uint>(RecordingType::KeyboardAndMouse));
    switch (type) {
        case RecordingType::KeyboardAndMouse:
            for (QAbstractButton* button : events_->buttons()) button->setEnabled(true);
            events_->button(1)->setChecked(true);
            break;
        case RecordingType::Keyboard:
        case RecordingType::Mouse:
            for (QAbstractButton* button : events_->buttons()) {
                button->setEnabled(events_->id(button) == static_cast<int>(type));
            }
            events_->button(static_cast<int>(type))->setChecked(true);
            break;
    }
}

void PlaybackDialog::speedChosen(int speed) {
    percent_->setEnabled(speed != kAsRecorded);
    if (speed == kAsRecorded) percent_->setText(QStringLiteral("0"));
}

void PlaybackDialog::accept() {
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) {
        messages_.show("No recording selected!", "Attention", MsgIcon::Exclamation);
        return;
    }
    const auto value = percentValue(percent_->text());
    if (!value || *value < 0) {
        messages_.show("Replay speed percentage must be greater than or equal to 0.", "Attention",
                       MsgIcon::Exclamation);
        return;
    }
    const int speed = speeds_->checkedId();
    record_.set("JournalName", item->text(0).toStdString());
    record_.set("PlayBackEvent", static_cast<std::uint32_t>(events_->checkedId()));
    record_.set("PlayBackSpeed", speed == kAsRecorded ? std::string("0")
                                 : speed == kFaster   ? std::to_string(-*value)
                                                      : percent_->text().toStdString());
    QDialog::accept();
}

}  // namespace ks
