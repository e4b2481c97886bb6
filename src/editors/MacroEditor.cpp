#include "editors/MacroEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "commands/CommandTable.h"
#include "core/CommandId.h"
#include "editors/RowDescription.h"
#include "editors/ScheduleDialog.h"
#include "store/KeyTree.h"

namespace ks {

namespace {

enum TriggerPage { kHotKeyPage, kSchedulePage, kPhrasePage, kMessageIdPage };

// How a key of the on-screen keyboard is added.
enum KeyMode { kDownOnly, kUpOnly, kStroke };
constexpr std::uint32_t kPressed = 0;
constexpr std::uint32_t kReleased = 2;

// The on-screen keyboard's rows, as virtual-key codes.
const std::vector<std::vector<std::uint8_t>> kKeyRows = {
    {0x1B, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x2C, 0x91,
     0x13},
    {0xC0, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0xBD, 0xBB, 0x08, 0x2D, 0x24,
     0x21},
    {0x09, 0x51, 0x57, 0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0xDB, 0xDD, 0xDC, 0x2E, 0x23,
     0x22},
    {0x14, 0x41, 0x53, 0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0xBA, 0xDE, 0x0D, 0x90, 0x26},
    {0xA0, 0x5A, 0x58, 0x43, 0x56, 0x42, 0x4E, 0x4D, 0xBC, 0xBE, 0xBF, 0xA1, 0x25, 0x28, 0x27},
    {0xA2, 0x5B, 0xA4, 0x20, 0xA5, 0x5C, 0x5D, 0xA3},
};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* labelFor(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QPushButton* button(const QString& text, QObject* owner, const std::function<void()>& action) {
    auto* b = new QPushButton(text);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, owner, [action] { action(); });
    return b;
}

// A key of the on-screen keyboard, as wide as its name: push buttons are
// never narrower than the style's button width, which made the keyboard
// wider than a laptop's screen.
QToolButton* keyButton(const std::string& name, QObject* owner,
                       const std::function<void()>& action) {
    auto* key = new QToolButton;
    // "7&" shows its ampersand rather than underlining nothing.
    key->setText(QString::fromStdString(name).replace(u'&', QStringLiteral("&&")));
    key->setFocusPolicy(Qt::TabFocus);
    key->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QObject::connect(key, &QToolButton::clicked, owner, [action] { action(); });
    return key;
}

}  // namespace

MacroEditor::MacroEditor(MacroEditorServices services, const std::string& name, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), editing_(name) {
    setWindowTitle(QStringLiteral("Keystrider - Modify Macro"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildTriggers());
    auto* middle = new QHBoxLayout;
    middle->addWidget(buildBody(), 3);
    middle->addWidget(buildCommands(), 2);
    layout->addLayout(middle, 1);
    layout->addWidget(buildKeyboard());
    auto* buttons = new QHBoxLayout;
    buildButtons(buttons);
    layout->addLayout(buttons);
    if (!name.empty()) load(name);
    // Its natural size, unless that leaves no room on the screen for the
    // window manager's title bar.
    if (const QScreen* screen = this->screen()) {
        resize(sizeHint().boundedTo(screen->availableGeometry().size() * 0.9));
    }
    fieldsChanged_ = false;
    for (QLineEdit* field : {name_, phrase_, messageId_, execute_}) {
        connect(field, &QLineEdit::textChanged, this, [this] { fieldsChanged_ = true; });
    }
    connect(hotKey_, &QLineEdit::textChanged, this, [this] { hotKeyChosen(); });
}

QWidget* MacroEditor::buildTriggers() {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    name_ = new QLineEdit;
    grid->addWidget(labelFor(QStringLiteral("Macro Na&me:"), name_), 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);

    trigger_ = new QComboBox;
    trigger_->addItems({QStringLiteral("HotKey"), QStringLiteral("Scheduler"),
                        QStringLiteral("Word or Phrase"), QStringLiteral("XML Message ID")});
    grid->addWidget(labelFor(QStringLiteral("&Trigger:"), trigger_), 1, 0);
    grid->addWidget(trigger_, 1, 1);

    triggerPages_ = new QStackedWidget;
    MacroEditorSite& site = services_.site;
    hotKey_ = new HotKeyEdit([&site] { return site.keyLayout(); },
                             [&site](std::uint32_t vk, std::uint32_t modifiers) {
                                 return site.hotKeyText(vk, modifiers);
                             });
    hotKey_->setHooks([this](const std::string& why) { attention(why); },
                      [&site](bool suspended) { site.suspendHotKeys(suspended); });
    hotKey_->setAccessibleName(QStringLiteral("Hot key"));
    triggerPages_->addWidget(hotKey_);
    triggerPages_->addWidget(
        button(QStringLiteral("Modi&fy Schedule"), this, [this] { triggerChosen(kSchedulePage); }));
    auto* phrasePage = new QWidget;
    auto* phraseRow = new QHBoxLayout(phrasePage);
    phraseRow->setContentsMargins(0, 0, 0, 0);
    phrase_ = new QLineEdit;
    phrase_->setAccessibleName(QStringLiteral("Word or phrase"));
    phraseCase_ = new QCheckBox(QStringLiteral(":Case Sens&itive."));
    phraseRow->addWidget(phrase_);
    phraseRow->addWidget(phraseCase_);
    triggerPages_->addWidget(phrasePage);
    messageId_ = new QLineEdit;
    messageId_->setAccessibleName(QStringLiteral("XML Message ID"));
    triggerPages_->addWidget(messageId_);
    grid->addWidget(triggerPages_, 1, 2);
    connect(trigger_, &QComboBox::activated, this, [this](int index) { triggerChosen(index); });

    execute_ = new QLineEdit(QStringLiteral("1"));
    grid->addWidget(labelFor(QStringLiteral("E&xecute:"), execute_), 2, 0);
    grid->addWidget(execute_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("time(s).")), 2, 2);
    return box;
}

QWidget* MacroEditor::buildBody() {
    auto* box = new QWidget;
    auto* layout = new QGridLayout(box);
    bodyList_ = new QListWidget;
    bodyList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(labelFor(QStringLiteral("Macro &body:"), bodyList_), 0, 0);
    layout->addWidget(bodyList_, 1, 0, 2, 1);
    // The list takes the height; the arrows sit beside each other at its middle.
    layout->setRowStretch(1, 1);
    layout->setRowStretch(2, 1);
    auto* up = new QPushButton;
    up->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    up->setAccessibleName(QStringLiteral("Move up"));
    up->setToolTip(QStringLiteral("Move up (Alt+Up)"));
    auto* down = new QPushButton;
    down->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    down->setAccessibleName(QStringLiteral("Move down"));
    down->setToolTip(QStringLiteral("Move down (Alt+Down)"));
    connect(up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    layout->addWidget(up, 1, 1, Qt::AlignBottom);
    layout->addWidget(down, 2, 1, Qt::AlignTop);
    expansionHint_ = new QLabel;
    expansionHint_->hide();
    layout->addWidget(expansionHint_, 3, 0, 1, 2);
    connect(bodyList_, &QListWidget::itemSelectionChanged, this, [this] { showExpansionHint(); });
    connect(bodyList_, &QListWidget::itemDoubleClicked, this, [this] { editSelected(); });
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::Key_Return), [this] { editSelected(); }},
        {QKeySequence(Qt::Key_Enter), [this] { editSelected(); }},
        {QKeySequence::Delete, [this] { deleteSelected(); }},
        {QKeySequence::Copy, [this] { copySelected(); }},
        {QKeySequence::Cut, [this] { cutSelected(); }},
        {QKeySequence::Paste, [this] { paste(); }},
        {QKeySequence(Qt::ALT | Qt::Key_Up), [this] { moveSelected(-1); }},
        {QKeySequence(Qt::ALT | Qt::Key_Down), [this] { moveSelected(1); }},
    };
    for (const auto& [sequence, action] : keys) {
        auto* shortcut = new QShortcut(sequence, bodyList_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    }
    return box;
}

QWidget* MacroEditor::buildCommands() {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    category_ = new QComboBox;
    for (int c = 0; c < kCategoryCount; ++c) {
        category_->addItem(qs(std::string(categoryName(static_cast<CommandCategory>(c)))));
    }
    layout->addWidget(labelFor(QStringLiteral("Macro command t&ypes:"), category_));
    layout->addWidget(category_);
    commands_ = new QListWidget;
    layout->addWidget(labelFor(QStringLiteral("Macro c&ommands:"), commands_));
    layout->addWidget(commands_);
    layout->addWidget(button(QStringLiteral("<< Add"), this, [this] { addChosenCommand(); }));
    connect(category_, &QComboBox::currentIndexChanged, this, [this](int c) { fillCommands(c); });
    connect(commands_, &QListWidget::itemActivated, this, [this] { addChosenCommand(); });
    fillCommands(0);
    return box;
}

QWidget* MacroEditor::buildKeyboard() {
    auto* box = new QGroupBox(QStringLiteral("&Keyboard"));
    auto* layout = new QVBoxLayout(box);
    auto* modes = new QHBoxLayout;
    keyMode_ = new QButtonGroup(box);
    const std::pair<const char*, KeyMode> modeButtons[] = {
        {"Key Do&wn Only", kDownOnly}, {"Key Up On&ly", kUpOnly}, {"No&rmal Key Stroke", kStroke}};
    for (const auto& [text, mode] : modeButtons) {
        auto* radio = new QRadioButton(QString::fromUtf8(text));
        keyMode_->addButton(radio, mode);
        modes->addWidget(radio);
    }
    keyMode_->button(kStroke)->setChecked(true);
    modes->addStretch();
    layout->addLayout(modes);
    for (const std::vector<std::uint8_t>& row : kKeyRows) {
        auto* keys = new QHBoxLayout;
        keys->setSpacing(2);
        for (const std::uint8_t vk : row) {
            keys->addWidget(keyButton(KeyCodeToDisplayName(vk, services_.keyNames), this,
                                      [this, vk] { addKeystroke(vk); }));
        }
        layout->addLayout(keys);
    }
    // On a screen too narrow for all of it the keyboard scrolls sideways;
    // its rows are always there whole.
    auto* scroller = new QScrollArea;
    scroller->setWidget(box);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setMinimumHeight(box->sizeHint().height() +
                               scroller->horizontalScrollBar()->sizeHint().height());
    return scroller;
}

void MacroEditor::buildButtons(QBoxLayout* row) {
    const std::pair<const char*, std::function<void()>> buttons[] = {
        {"&Edit", [this] { editSelected(); }}, {"&Delete", [this] { deleteSelected(); }},
        {"&Copy", [this] { copySelected(); }}, {"C&ut", [this] { cutSelected(); }},
        {"&Paste", [this] { paste(); }},       {"&Save", [this] { save(); }},
        {"Save &As", [this] { saveAs(); }},    {"Ca&ncel", [this] { reject(); }},
    };
    for (const auto& [text, action] : buttons) row->addWidget(button(text, this, action));
    row->addWidget(button(QStringLiteral("&Help"), this,
                          [this] { services_.parameterHooks.sources.showHelp(0); }));
}

void MacroEditor::load(const std::string& name) {
    Expected<MacroDocument> macro = readMacro(services_.tree, name);
    if (!macro) {
        attention("Unable to read macro: " + name + "\n" + macro.error());
        macro = MacroDocument{};
        macro->name = name;
    }
    stored_ = *macro;
    name_->setText(qs(stored_.name));
    hotKey_->setHotKey(stored_.vk, stored_.modifiers);
    phrase_->setText(qs(stored_.phrase));
    phraseCase_->setChecked(stored_.phraseCase);
    if (stored_.messageId != 0) messageId_->setText(QString::number(stored_.messageId));
    execute_->setText(QString::number(stored_.repeat));
    schedules_ = stored_.schedules;
    body_ = MacroBody(stored_.commands);
    refreshBody({});
}

void MacroEditor::triggerChosen(int index) {
    triggerPages_->setCurrentIndex(index);
    triggerPages_->currentWidget()->setFocus();
    if (index == kSchedulePage) {
        ScheduleDialog dialog(schedules_, services_.messages, services_.clock, this,
                              [this] { services_.site.showScheduleHelp(); });
        if (dialog.exec() == QDialog::Accepted && dialog.schedules() != schedules_) {
            schedules_ = dialog.schedules();
            fieldsChanged_ = true;
        }
    }
    const auto disabled = [this](bool on, const char* kind) {
        if (!on) {
            services_.messages.show(std::string(kind) +
                                        " Triggers are disabled.\n\nPlease go to Options on the "
                                        "main application window and enable if you wish to use.",
                                    "Attention", MsgIcon::Information);
        }
    };
    if (index == kPhrasePage) disabled(services_.site.phrasesOn(), "Word or Phrase");
    if (index == kMessageIdPage) disabled(services_.site.serverOn(), "XML Message ID");
}

void MacroEditor::hotKeyChosen() {
    fieldsChanged_ = true;
    const bool ownKey = hotKey_->vk() == stored_.vk && hotKey_->modifiers() == stored_.modifiers;
    if (hotKey_->vk() == 0 || ownKey) return;
    if (const auto why =
            services_.site.hotKeyTaken(hotKey_->vk(), hotKey_->modifiers(), editing_)) {
        services_.messages.show(*why, "Keystrider - Warning", MsgIcon::Exclamation);
    }
}

void MacroEditor::fillCommands(int category) {
    commands_->clear();
    for (const CommandId id : categoryCommands(static_cast<CommandCategory>(category))) {
        auto* item = new QListWidgetItem(qs(std::string(commandName(id))), commands_);
        item->setData(Qt::UserRole, static_cast<uint>(id));
    }
    // The list keeps its scroll offset through clear(): a new category
    // would start part-way down.
    commands_->scrollToTop();
}

RowSelection MacroEditor::selection() const {
    RowSelection rows;
    for (int i = 0; i < bodyList_->count(); ++i) {
        if (bodyList_->item(i)->isSelected()) rows.push_back(i);
    }
    return rows;
}

void MacroEditor::refreshBody(const RowSelection& selection) {
    bodyList_->clear();
    for (const CommandRecord& command : body_.commands()) {
        bodyList_->addItem(qs(rowDescription(command, services_.keyNames)));
    }
    for (const int row : selection) {
        if (QListWidgetItem* item = bodyList_->item(row)) item->setSelected(true);
    }
    if (!selection.empty())
        bodyList_->setCurrentRow(selection.front(), QItemSelectionModel::NoUpdate);
    showExpansionHint();
}

// A reference in brackets runs as written while expansion is off; the hint
// names the one of the first selected command, else the body's first.
void MacroEditor::showExpansionHint() {
    std::optional<std::string> reference;
    if (!services_.site.expansionOn()) {
        const std::vector<CommandRecord>& commands = body_.commands();
        RowSelection rows = selection();
        for (int row = 0; row < bodyList_->count(); ++row) rows.push_back(row);
        for (const int row : rows) {
            const auto at = static_cast<std::size_t>(row);
            reference = at < commands.size() ? bracketedReference(commands[at]) : std::nullopt;
            if (reference) break;
        }
    }
    expansionHint_->setText(
        reference ? qs("Variable expansion is off: " + *reference +
                       " runs as written. Turn on \"Variable Expansion On:\" in Options.")
                  : QString());
    expansionHint_->setVisible(reference.has_value());
}

// The new row goes before the first selected one, and the selection stays on
// the rows it was on, so that commands added one after another keep their order.
void MacroEditor::addChosenCommand() {
    const QListWidgetItem* item = commands_->currentItem();
    if (!item) return;
    CommandRecord command(item->data(Qt::UserRole).toUInt());
    if (hasParameters(command.id) &&
        !editParameters(command, services_.messages, services_.parameterHooks, this)) {
        return;
    }
    RowSelection rows = selection();
    const int at = body_.insert(std::move(command), rows);
    for (int& row : rows) row += row >= at ? 1 : 0;
    refreshBody(rows);
}

void MacroEditor::addKeystroke(std::uint32_t vk) {
    const int mode = keyMode_->checkedId();
    RowSelection rows = selection();
    for (const std::uint32_t pressed : {kPressed, kReleased}) {
        if ((pressed == kPressed && mode == kUpOnly) ||
            (pressed == kReleased && mode == kDownOnly)) {
            continue;
        }
        const int at = body_.insert(CommandRecord(vk, {{"KeyPressed", pressed}}), rows);
        for (int& row : rows) row += row >= at ? 1 : 0;
    }
    refreshBody(rows);
}

void MacroEditor::editSelected() {
    const RowSelection rows = selection();
    const auto row = body_.editableRow(rows, services_.messages);
    if (!row) return;
    CommandRecord command = body_.commands()[static_cast<std::size_t>(*row)];
    if (!editParameters(command, services_.messages, services_.parameterHooks, this)) return;
    body_.replace(*row, std::move(command));
    refreshBody(rows);
}

void MacroEditor::deleteSelected() {
    RowSelection rows = selection();
    body_.remove(rows, services_.messages);
    refreshBody(rows);
}

void MacroEditor::moveSelected(int step) {
    RowSelection rows = selection();
    body_.move(rows, step, services_.messages);
    refreshBody(rows);
}

void MacroEditor::copySelected() {
    body_.copy(selection(), services_.copiedCommands, services_.messages);
}

void MacroEditor::cutSelected() {
    RowSelection rows = selection();
    body_.cut(rows, services_.copiedCommands, services_.messages);
    refreshBody(rows);
}

void MacroEditor::paste() {
    RowSelection rows = selection();
    body_.paste(rows, services_.copiedCommands, services_.messages);
    refreshBody(rows);
}

MacroForm MacroEditor::form() const {
    return MacroForm{name_->text().toStdString(),   hotKey_->vk(),
                     hotKey_->modifiers(),          messageId_->text().toStdString(),
                     phrase_->text().toStdString(), phraseCase_->isChecked(),
                     execute_->text().toStdString()};
}

void MacroEditor::attention(const std::string& text, MsgIcon icon) {
    services_.messages.show(text, "Attention", icon);
}

bool MacroEditor::write(const MacroForm& fields, const std::string& replacing) {
    SaveCheck check = checkSave(fields, replacing, services_.owners);
    if (check.refusal) {
        attention(*check.refusal);
        return false;
    }
    MacroDocument& macro = check.macro;
    macro.schedules = schedules_;
    macro.commands = body_.commands();
    macro.hotKeyId = static_cast<std::uint32_t>(services_.site.nextHotKeyId());
    if (Result written = writeMacro(services_.tree, macro, replacing); !written) {
        if (written.error() == kMacroExists) {
            attention("Macro already exists with this name: " + macro.name, MsgIcon::None);
        } else {
            attention("Unable to modify macro: " + (replacing.empty() ? macro.name : replacing) +
                      "\n" + written.error());
        }
        return false;
    }
    saved_ = macro;
    services_.site.committed(saved_, replacing);
    accept();
    return true;
}

bool MacroEditor::save() {
    return write(form(), editing_);
}

bool MacroEditor::saveAs() {
    const MacroForm fields = form();
    if (!editing_.empty()) {
        if (const auto refusal = saveAsRefusal(fields, stored_)) {
            attention(*refusal, MsgIcon::None);
            return false;
        }
    }
    return write(fields, {});
}

void MacroEditor::reject() {
    if ((body_.modified() || fieldsChanged_) &&
        services_.messages.show(
            "Any changes to this macro will be lost if you continue.\n\nDo you wish to continue?",
            "Keystrider - Warning", MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    QDialog::reject();
}

// Enter in a field would otherwise press the first button.
void MacroEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(event);
}

}  // namespace ks
