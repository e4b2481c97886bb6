#include "editors/PromptDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "system/DialogCommands.h"

namespace ks {

namespace {

constexpr std::size_t kColumns = PromptDialog::kFields.size() + 1;  // and "MultiLine"
constexpr const char* kLabels[] = {
    "Prompt &Caption:", "Prompt &Left Coord:", "Prompt &Top Coord:",
    "Text Box &Width:", "Text Box H&eight:",   "Text Box &Variable:"};

// Checked in this order by Add and Update; field 0 (the caption) may be empty.
constexpr std::pair<std::size_t, const char*> kRequired[] = {
    {1, "Left Coord: must be specified."},    {2, "Top Coord: must be specified."},
    {3, "Text Box Width must be specified."}, {4, "Text Box Height must be specified."},
    {5, "Variable Name must be specified."},
};

}  // namespace

PromptDialog::PromptDialog(CommandRecord record, Messages& messages, Dialogs* dialogs,
                           QWidget* parent, const HelpAction& help)
    : QDialog(parent), record_(std::move(record)), messages_(messages), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Keystrider - PROMPT USER"));
    auto* grid = new QGridLayout(this);
    title_ = new QLineEdit(QString::fromStdString(record_.text("WindowCaption")), this);
    auto* titleLabel = new QLabel(QStringLiteral("Window Title&:"), this);
    titleLabel->setBuddy(title_);
    grid->addWidget(titleLabel, 0, 0);
    grid->addWidget(title_, 0, 1, 1, 3);

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    QStringList headers;
    for (const char* name : kFields) headers << name;
    headers << QStringLiteral("MultiLine");
    list_->setHeaderLabels(headers);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* listLabel = new QLabel(QStringLiteral("&Prompt List:"), this);
    listLabel->setBuddy(list_);
    grid->addWidget(listLabel, 1, 0);
    grid->addWidget(list_, 2, 0, 1, 4);
    for (const CommandRecord& prompt : record_.parts)
        showPrompt(prompt, new QTreeWidgetItem(list_));

    for (std::size_t k = 0; k < kFields.size(); ++k) {
        fields_[k] = new QLineEdit(this);
        auto* label = new QLabel(kLabels[k], this);
        label->setBuddy(fields_[k]);
        const int row = 3 + static_cast<int>(k / 2);
        const int column = static_cast<int>(k % 2) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(fields_[k], row, column + 1);
    }
    multiLine_ = new QCheckBox(QStringLiteral("&Multi Line:"), this);
    grid->addWidget(multiLine_, 6, 0, 1, 2);

    auto* actions = new QHBoxLayout;
    const std::pair<const char*, void (PromptDialog::*)()> buttons[] = {
        {"&Add", &PromptDialog::add},
        {"&Update", &PromptDialog::update},
        {"&Delete", &PromptDialog::remove},
        {"&View", &PromptDialog::view}};
    for (const auto& [text, action] : buttons) {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        actions->addWidget(button);
    }
    grid->addLayout(actions, 7, 0, 1, 4);
    QDialogButtonBox* box = okCancelButtons(this, help, QStringLiteral("Ca&ncel"));
    grid->addWidget(box, 8, 0, 1, 4);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { loadSelected(); });
}

void PromptDialog::showPrompt(const CommandRecord& prompt, QTreeWidgetItem* row) {
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        row->setText(static_cast<int>(k), QString::fromStdString(prompt.text(kFields[k])));
    }
    row->setText(static_cast<int>(kColumns - 1), QString::fromStdString(prompt.text("MultiLine")));
}

void PromptDialog::loadSelected() {
    const QList<QTreeWidgetItem*> rows = list_->selectedItems();
    if (rows.size() != 1) return;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        fields_[k]->setText(rows[0]->text(static_cast<int>(k)));
    }
    multiLine_->setChecked(rows[0]
                               ->text(static_cast<int>(kColumns - 1))
                               .compare(QStringLiteral("Yes"), Qt::CaseInsensitive) == 0);
}

bool PromptDialog::fieldsDifferFromSelected() const {
    const QList<QTreeWidgetItem*> rows = list_->selectedItems();
    if (rows.size() != 1) return false;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        // As Update would keep them: every field but the caption trimmed.
        const QString text = k == 0 ? fields_[k]->text() : fields_[k]->text().trimmed();
        if (text != rows[0]->text(static_cast<int>(k))) return true;
    }
    const bool listedMultiLine = rows[0]
                                     ->text(static_cast<int>(kColumns - 1))
                                     .compare(QStringLiteral("Yes"), Qt::CaseInsensitive) == 0;
    return multiLine_->isChecked() != listedMultiLine;
}

void PromptDialog::view() {
    if (fieldsDifferFromSelected() &&
        messages_.show("You did not do an update on the currently selected prompt in the Prompt "
                       "list box.\n\nIf you continue, the view of the dialog will not reflect any "
                       "changes to the selected prompt.\n\nDo you wish to continue?",
                       "Keystrider - Warning", MsgIcon::Question,
                       MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    if (dialogs_ == nullptr) return;
    const CommandRecord command = record();
    std::vector<PromptEntry> prompts;
    for (const CommandRecord& part : command.parts) {
        const auto value = [&part](const char* name) -> std::optional<std::string> {
            if (part.find(name) == nullptr) return std::nullopt;
            return part.text(name);
        };
        if (auto prompt = readPrompt(value, messages_)) prompts.push_back(std::move(*prompt));
    }
    const std::unique_ptr<PromptWindow> window = dialogs_->showPrompt(
        promptForm(command.text("WindowCaption"), prompts, dialogs_->screenSize()));
    while (window->state() == DialogState::Open) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

std::optional<CommandRecord> PromptDialog::checkedPrompt() {
    for (const auto& [field, message] : kRequired) {
        if (!fields_[field]->text().trimmed().isEmpty()) continue;
        messages_.show(message, "Attention", MsgIcon::Information);
        fields_[field]->setFocus();
        return std::nullopt;
    }
    CommandRecord prompt;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        const QString text = fields_[k]->text();
        prompt.set(kFields[k], (k == 0 ? text : text.trimmed()).toStdString());
    }
    prompt.set("MultiLine", std::string(multiLine_->isChecked() ? "Yes" : "No"));
    return prompt;
}

void PromptDialog::add() {
    if (const auto prompt = checkedPrompt()) showPrompt(*prompt, new QTreeWidgetItem(list_));
}

void PromptDialog::update() {
    const QList<QTreeWidgetItem*> rows = list_->selectedItems();
    if (rows.size() != 1) {
        messages_.show("One item must be selected to perform update.", "Attention",
                       MsgIcon::Information);
        return;
    }
    if (const auto prompt = checkedPrompt()) showPrompt(*prompt, rows[0]);
}

void PromptDialog::remove() {
    qDeleteAll(list_->selectedItems());
}

CommandRecord PromptDialog::record() const {
    CommandRecord out = record_;
    out.set("WindowCaption", title_->text().toStdString());
    out.parts.clear();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list_->topLevelItem(i);
        CommandRecord prompt;
        for (std::size_t k = 0; k < kFields.size(); ++k) {
            prompt.set(kFields[k], row->text(static_cast<int>(k)).toStdString());
        }
        prompt.set("MultiLine", row->text(static_cast<int>(kColumns - 1)).toStdString());
        out.parts.push_back(std::move(prompt));
    }
    return out;
}

}  // namespace ks
