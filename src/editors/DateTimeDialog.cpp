#include "editors/DateTimeDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <ctime>

#include "core/CommandId.h"

namespace ks {

namespace {

constexpr std::int32_t kNone = -1;

// A new command types the first three parts with separators between them.
DateTimePart defaultPart(std::uint32_t id, std::size_t part) {
    if (part > 2) return {false, kNone, kNone, "", ""};
    const bool date = id == kSendDate;
    const char* separator = part == 2 ? "" : date ? "/" : ":";
    return {true, static_cast<std::int32_t>(part), date && part == 2 ? 1 : 0, "", separator};
}

std::int32_t chosen(const QComboBox* box) {
    return box->currentIndex() - 1;
}

}  // namespace

DateTimeDialog::DateTimeDialog(CommandRecord record, Messages& messages, QWidget* parent,
                               const HelpAction& help)
    : QDialog(parent),
      record_(std::move(record)),
      messages_(messages),
      kinds_(record_.id == kSendDate ? dateParts() : timeParts()) {
    setWindowTitle(record_.id == kSendDate ? QStringLiteral("Keystrider - SEND DATE")
                                           : QStringLiteral("Keystrider - SEND TIME"));
    auto* grid = new QGridLayout(this);
    const char* headers[] = {"Include", "Order", "Format", "Prepend", "Append"};
    for (int c = 0; c < 5; ++c) grid->addWidget(new QLabel(headers[c], this), 0, c);
    for (std::size_t p = 0; p < kPartCount; ++p) {
        PartRow& row = rows_[p];
        row.include = new QCheckBox(QString::fromUtf8(kinds_[p].name), this);
        row.order = new QComboBox(this);
        row.order->addItem(QString());
        for (std::size_t k = 0; k < kPartCount; ++k) row.order->addItem(QString::number(k + 1));
        row.format = new QComboBox(this);
        row.format->addItem(QString());
        for (const PartFormat& format : kinds_[p].formats) {
            row.format->addItem(QString::fromUtf8(format.description));
        }
        row.prepend = new QLineEdit(this);
        row.append = new QLineEdit(this);
        const int line = static_cast<int>(p) + 1;
        QWidget* cells[] = {row.include, row.order, row.format, row.prepend, row.append};
        for (int c = 0; c < 5; ++c) grid->addWidget(cells[c], line, c);
    }
    utc_ = new QCheckBox(QStringLiteral("&Universal time (UTC)"), this);
    grid->addWidget(utc_, 6, 0, 1, 2);
    preview_ = new QLabel(this);
    grid->addWidget(preview_, 6, 2, 1, 3);
    QDialogButtonBox* buttons = okCancelButtons(this, help, QStringLiteral("&Cancel"));
    grid->addWidget(buttons, 7, 0, 1, 5);
    load();
    for (const PartRow& row : rows_) {
        connect(row.include, &QCheckBox::toggled, this, [this] { preview(); });
        for (QComboBox* box : {row.order, row.format}) {
            connect(box, &QComboBox::currentIndexChanged, this, [this] { preview(); });
        }
        for (QLineEdit* text : {row.prepend, row.append}) {
            connect(text, &QLineEdit::textChanged, this, [this] { preview(); });
        }
    }
    connect(utc_, &QCheckBox::toggled, this, [this] { preview(); });
    preview();
}

void DateTimeDialog::load() {
    const bool stored = !record_.parts.empty();
    utc_->setChecked(record_.number("UseGMT").value_or(0) == 1);
    for (std::size_t p = 0; p < kPartCount; ++p) {
        DateTimePart part = defaultPart(record_.id, p);
        if (stored) {
            const CommandRecord* values = p < record_.parts.size() ? &record_.parts[p] : nullptr;
            const auto number = [&](const char* name) {
                return values ? static_cast<std::int32_t>(values->number(name).value_or(kNone))
                              : kNone;
            };
            part = {values && values->number("Include") == 1u, number("Order"), number("Format"),
                    values ? values->text("Prepend") : "", values ? values->text("Append") : ""};
        }
        const PartRow& row = rows_[p];
        row.include->setChecked(part.include);
        row.order->setCurrentIndex(part.order >= 0 && part.order < 5 ? part.order + 1 : 0);
        const int formats = row.format->count() - 1;
        row.format->setCurrentIndex(part.format >= 0 && part.format < formats ? part.format + 1
                                                                              : 0);
        row.prepend->setText(QString::fromStdString(part.prepend));
        row.append->setText(QString::fromStdString(part.append));
    }
}

DateTimeParts DateTimeDialog::parts() const {
    DateTimeParts parts;
    for (std::size_t p = 0; p < kPartCount; ++p) {
        const PartRow& row = rows_[p];
        parts[p] = {row.include->isChecked(), chosen(row.order), chosen(row.format),
                    row.prepend->text().toStdString(), row.append->text().toStdString()};
    }
    return parts;
}

void DateTimeDialog::preview() {
    const std::time_t now = std::time(nullptr);
    const std::string text = record_.id == kSendDate
                                 ? FormatDateParts(parts(), utc_->isChecked(), now)
                                 : FormatTimeParts(parts(), utc_->isChecked(), now);
    preview_->setText(QString::fromStdString(text));
}

void DateTimeDialog::accept() {
    const DateTimeParts chosenParts = parts();
    std::array<bool, kPartCount> used{};
    for (std::size_t p = 0; p < kPartCount; ++p) {
        const DateTimePart& part = chosenParts[p];
        if (!part.include) continue;
        const char* refusal = part.order < 0    ? "Order argument must be specified!"
                              : part.format < 0 ? "Format argument must be specified!"
                              : used[static_cast<std::size_t>(part.order)]
                                  ? "Order argument already in use!"
                                  : nullptr;
        if (refusal) {
            messages_.show(refusal, "Keystrider - Error", MsgIcon::Stop);
            rows_[p].order->setFocus();
            return;
        }
        used[static_cast<std::size_t>(part.order)] = true;
    }
    QDialog::accept();
}

CommandRecord DateTimeDialog::record() const {
    CommandRecord out = record_;
    out.set("UseGMT", utc_->isChecked() ? 1u : 0u);
    out.parts.clear();
    for (const DateTimePart& part : parts()) {
        out.parts.push_back(CommandRecord(0, {{"Format", static_cast<std::uint32_t>(part.format)},
                                              {"Include", part.include ? 1u : 0u},
                                              {"Order", static_cast<std::uint32_t>(part.order)},
                                              {"Append", part.append},
                                              {"Prepend", part.prepend}}));
    }
    return out;
}

}  // namespace ks
