#include "editors/ParameterDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/CommandId.h"
#include "editors/DialogHelp.h"
#include "editors/PointerPosition.h"
#include "keys/KeyboardMouseCommands.h"
#include "platform/InputInjector.h"

namespace ks {

namespace {

// Labels longer than this stand on their own row above the field.
constexpr int kSideLabelLength = 40;
// Room for a usual value: a window title, a path, a variable's text.
constexpr int kFieldCharacters = 40;
// The window picker shows long titles whole.
constexpr int kPickerCharacters = 60;
constexpr int kPickerRows = 16;

void widenForCharacters(QWidget* widget, int characters) {
    widget->setMinimumWidth(widget->fontMetrics().averageCharWidth() * characters);
}

QString trimmed(const QString& text, Trim trim) {
    switch (trim) {
        case Trim::None: return text;
        case Trim::Both: return text.trimmed();
        case Trim::Left: {
            qsizetype first = 0;
            while (first < text.size() && text[first].isSpace()) ++first;
            return text.mid(first);
        }
    }
    return text;
}

// "Keystrider - Currently open windows:": the chosen title, or nothing.
std::optional<QString> pickWindow(const std::vector<std::string>& titles, QWidget* parent) {
    QDialog picker(parent);
    picker.setWindowTitle(QStringLiteral("Keystrider - Currently open windows:"));
    auto* list = new QListWidget(&picker);
    for (const std::string& title : titles) list->addItem(QString::fromStdString(title));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &picker, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &picker, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &picker, &QDialog::accept);
    auto* layout = new QVBoxLayout(&picker);
    layout->addWidget(list);
    layout->addWidget(buttons);
    widenForCharacters(list, kPickerCharacters);
    list->setMinimumHeight(list->fontMetrics().height() * kPickerRows);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    if (picker.exec() != QDialog::Accepted || !list->currentItem()) return std::nullopt;
    return list->currentItem()->text();
}

}  // namespace

ParameterDialog::ParameterDialog(const ParameterSpec& spec, CommandRecord record,
                                 Messages& messages, ParameterHooks hooks, QWidget* parent)
    : QDialog(parent),
      spec_(spec),
      record_(std::move(record)),
      messages_(messages),
      hooks_(std::move(hooks)) {
    setWindowTitle(QString::fromStdString(spec.title));
    auto* grid = new QGridLayout(this);
    fields_.reserve(spec.fields.size());
    for (const FieldSpec& field : spec.fields) addField(grid, field);
    if (spec.id == kMoveMousePointer) addPointPick(grid);
    addButtons(grid);
    load();
    linkEnabling();
}

QString ParameterDialog::mnemonic(const QString& text) {
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar letter = text[k].toLower();
        if (!letter.isLetter() || usedMnemonics_.contains(letter)) continue;
        usedMnemonics_.append(letter);
        return text.left(k) + '&' + text.mid(k);
    }
    return text;
}

void ParameterDialog::addLabelled(QGridLayout* grid, Field& field, QWidget* input) {
    const FieldSpec& spec = *field.spec;
    auto* label = new QLabel(mnemonic(QString::fromUtf8(spec.label)), this);
    label->setBuddy(input);
    int row = grid->rowCount();
    if (std::string_view(spec.label).size() > kSideLabelLength) {
        grid->addWidget(label, row++, 0, 1, 3);
        grid->addWidget(input, row, 0, 1, 2);
    } else {
        grid->addWidget(label, row, 0);
        grid->addWidget(input, row, 1);
    }
    if (*spec.suffix) grid->addWidget(new QLabel(QString::fromUtf8(spec.suffix), this), row, 2);
    if (spec.browse != Browse::None) {
        auto* button = new QPushButton(QStringLiteral("..."), this);
        // Enter after a pick completes the dialog rather than picking again.
        button->setAutoDefault(false);
        field.browseButton = button;
        const std::size_t index = fields_.size() - 1;
        connect(button, &QPushButton::clicked, this, [this, index] { browse(fields_[index]); });
        grid->addWidget(button, row, 2);
    }
}

void ParameterDialog::addField(QGridLayout* grid, const FieldSpec& spec) {
    Field& field = fields_.emplace_back();
    field.spec = &spec;
    const QString label = QString::fromUtf8(spec.label);
    switch (spec.kind) {
        case FieldKind::Line:
            field.widget = field.line = new QLineEdit(this);
            widenForCharacters(field.line, kFieldCharacters);
            addLabelled(grid, field, field.line);
            break;
        case FieldKind::Lines:
            field.widget = field.lines = new QPlainTextEdit(this);
            field.lines->setTabChangesFocus(true);
            addLabelled(grid, field, field.lines);
            break;
        case FieldKind::Choice:
            field.widget = field.combo = new QComboBox(this);
            for (const FieldChoice& choice : spec.choices) field.combo->addItem(choice.label);
            addLabelled(grid, field, field.combo);
            break;
        case FieldKind::Check:
            field.widget = field.check = new QCheckBox(mnemonic(label), this);
            grid->addWidget(field.check, grid->rowCount(), 0, 1, 3);
            break;
        case FieldKind::Radio: {
            auto* box = new QGroupBox(label, this);
            auto* buttons = new QGridLayout(box);
            field.widget = box;
            field.radios = new QButtonGroup(box);
            for (std::size_t k = 0; k < spec.choices.size(); ++k) {
                auto* button = new QRadioButton(mnemonic(spec.choices[k].label), box);
                field.radios->addButton(button, static_cast<int>(k));
                const int at = static_cast<int>(k);
                buttons->addWidget(button, at / spec.columns, at % spec.columns);
            }
            grid->addWidget(box, grid->rowCount(), 0, 1, 3);
            break;
        }
    }
}

void ParameterDialog::addButtons(QGridLayout* grid) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    addHelpButton(buttons, helpFor(hooks_, record_.id));
    grid->addWidget(buttons, grid->rowCount(), 0, 1, 3);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
}

void ParameterDialog::load() {
    for (Field& field : fields_) {
        const FieldSpec& spec = *field.spec;
        const QString text = QString::fromStdString(record_.text(spec.value));
        const auto stored = record_.number(spec.value);
        const std::int32_t number = stored ? static_cast<std::int32_t>(*stored) : spec.fallback;
        const auto at = std::ranges::find_if(
            spec.choices, [number](const FieldChoice& c) { return c.value == number; });
        const int index =
            at == spec.choices.end() ? -1 : static_cast<int>(at - spec.choices.begin());
        switch (spec.kind) {
            case FieldKind::Line: field.line->setText(text); break;
            case FieldKind::Lines: field.lines->setPlainText(text); break;
            case FieldKind::Choice: field.combo->setCurrentIndex(index); break;
            case FieldKind::Check: field.check->setChecked(index == 1); break;
            // A number without a button of its own checks the first (Open,
            // Connected: any number but 0).
            case FieldKind::Radio:
                field.radios->button(std::max(index, 0))->setChecked(true);
                break;
        }
    }
}

void ParameterDialog::linkEnabling() {
    for (Field& field : fields_) {
        if (field.spec->enabledBy < 0) continue;
        QCheckBox* check = fields_[static_cast<std::size_t>(field.spec->enabledBy)].check;
        const auto apply = [check, &field] {
            field.widget->setEnabled(check->isChecked());
            if (field.browseButton) field.browseButton->setEnabled(check->isChecked());
        };
        connect(check, &QCheckBox::toggled, this, apply);
        apply();
    }
}

// MOVE MOUSE POINTER's fields: the kind of move, then the absolute X and Y,
// then the relative X and Y.
void ParameterDialog::addPointPick(QGridLayout* grid) {
    auto* pick = new ScreenPointPick(
        hooks_.pick, messages_, this,
        [this](std::uint32_t x, std::uint32_t y) {
            takePickedPoint(static_cast<int>(x), static_cast<int>(y));
        },
        [this](InputInjector& injector) { placePointerAtFields(injector); });
    pick->button()->setText(mnemonic(pick->button()->text()));
    grid->addWidget(pick->button(), grid->rowCount(), 0, 1, 3);
}

// An absolute move takes the pixel's place on the screen; a relative one
// its offset from the window picked in.
void ParameterDialog::takePickedPoint(int x, int y) {
    const ScreenSize screen = hooks_.windows.screenSize();
    const bool absolute = chosenNumber(fields_[0]) == 1;
    NormalisedPoint point = absolutePosition(x, y, screen);
    if (!absolute) {
        const auto window = windowUnder(hooks_.windows, x, y);
        point = relativePosition(
            x, y, window.value_or(ScreenRect{0, 0, screen.width, screen.height}), screen);
    }
    const std::size_t first = absolute ? 1 : 3;
    fields_[first].line->setText(QString::number(point.x));
    fields_[first + 1].line->setText(QString::number(point.y));
}

// Only an absolute position says where the pointer goes before the pick:
// a relative one depends on the window the command finds in front.
void ParameterDialog::placePointerAtFields(InputInjector& injector) const {
    if (chosenNumber(fields_[0]) != 1) return;
    const auto x = parseCoordinate(fieldText(fields_[1]).toStdString());
    const auto y = parseCoordinate(fieldText(fields_[2]).toStdString());
    if (x && y && *x <= 65535 && *y <= 65535) {
        injector.mouseEvent(kMouseMove | kMouseAbsolute, *x, *y);
    }
}

void ParameterDialog::browse(const Field& field) {
    QString chosen;
    switch (field.spec->browse) {
        case Browse::None: return;
        case Browse::Window:
            if (auto title = pickWindow(hooks_.sources.windowTitles(), this)) chosen = *title;
            break;
        case Browse::File: {
            QString filter = QStringLiteral("All Files (.*) (*)");
            chosen = QFileDialog::getOpenFileName(
                this, QStringLiteral("Select file to be ran:"), field.line->text(),
                QStringLiteral("Executable Files (.exe) (*.EXE);;All Files (.*) (*)"), &filter);
            break;
        }
        case Browse::Folder:
            chosen = QFileDialog::getExistingDirectory(
                this, QStringLiteral("Select the directory you want the application to start in."),
                field.line->text());
            break;
    }
    if (!chosen.isEmpty()) field.line->setText(chosen);
}

QString ParameterDialog::fieldText(const Field& field) const {
    const QString text = field.line    ? field.line->text()
                         : field.lines ? field.lines->toPlainText()
                                       : QString();
    return trimmed(text, field.spec->trim);
}

std::optional<std::int32_t> ParameterDialog::chosenNumber(const Field& field) const {
    const std::vector<FieldChoice>& choices = field.spec->choices;
    int index = -1;
    if (field.combo) index = field.combo->currentIndex();
    if (field.check) index = field.check->isChecked() ? 1 : 0;
    if (field.radios) index = field.radios->checkedId();
    if (index < 0 || index >= static_cast<int>(choices.size())) return std::nullopt;
    return choices[static_cast<std::size_t>(index)].value;
}

void ParameterDialog::accept() {
    for (const FieldCheck& check : spec_.checks) {
        const Field& field = fields_[static_cast<std::size_t>(check.field)];
        const bool empty =
            field.spec->kind == FieldKind::Line || field.spec->kind == FieldKind::Lines
                ? fieldText(field).isEmpty()
                : !chosenNumber(field);
        if (!empty) continue;
        messages_.show(check.message, check.title, check.icon);
        field.widget->setFocus();
        return;
    }
    QDialog::accept();
}

CommandRecord ParameterDialog::record() const {
    CommandRecord out = record_;
    for (const Field& field : fields_) {
        const char* name = field.spec->value;
        if (field.line || field.lines) {
            out.set(name, fieldText(field).toStdString());
        } else if (const auto number = chosenNumber(field)) {
            out.set(name, static_cast<std::uint32_t>(*number));
        }
    }
    return out;
}

QWidget* ParameterDialog::fieldWidget(int index) const {
    return fields_.at(static_cast<std::size_t>(index)).widget;
}

}  // namespace ks
