#include "editors/RecordingEditor.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "journal/RecordingStore.h"
#include "keys/KeyNames.h"
#include "platform/Keymap.h"

namespace ks {
namespace {

std::vector<JournalEvent> loaded(SettingsStore& store, const std::string& name) {
    return loadRecordingForEditing(store, name).value_or(std::vector<JournalEvent>{});
}

// The names of the layout in force when the editor opens.
KeyNamer keyNamerOf(Keymap& keymap) {
    return [layout = keymap.layout()](std::uint8_t vk) { return keyDisplayNameOfKey(*layout, vk); };
}

}  // namespace

RecordingEditor::RecordingEditor(Services services, std::string name, RecordingType type,
                                 QWidget* parent)
    : QDialog(parent),
      services_(std::move(services)),
      openedName_(std::move(name)),
      type_(type),
      model_(loaded(services_.store, openedName_), keyNamerOf(services_.eventDialog.pick.keymap),
             services_.eventDialog.messages) {
    setWindowTitle(QStringLiteral("Keystrider - Edit Recording"));
    buildLayout();
}

void RecordingEditor::buildLayout() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Recording name:")));
    name_ = new QLineEdit(QString::fromStdString(openedName_));
    connect(name_, &QLineEdit::textEdited, this, [this] { modified_ = true; });
    layout->addWidget(name_);
    layout->addWidget(new QLabel(QStringLiteral("Event list:")));

    list_ = new QTableView;
    list_->setModel(&model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    // Every row as high as the first: the view then never measures rows.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setStretchLastSection(true);
    connect(list_, &QTableView::doubleClicked, this, [this] { editClicked(); });
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setMinimumWidth(widthForHeaders());
    list_->viewport()->installEventFilter(this);

    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    auto* side = new QVBoxLayout;
    const auto addButton = [this](QBoxLayout* box, QAbstractButton* button, auto action) {
        connect(button, &QAbstractButton::clicked, this, action);
        box->addWidget(button);
    };
    auto* up = new QToolButton;
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton;
    down->setArrowType(Qt::DownArrow);
    addButton(side, up, [this] { moveClicked(true); });
    addButton(side, down, [this] { moveClicked(false); });
    side->addStretch();
    row->addLayout(side);
    layout->addLayout(row, 1);

    auto* edits = new QHBoxLayout;
    addButton(edits, new QPushButton(QStringLiteral("&Add")), [this] { addClicked(); });
    addButton(edits, new QPushButton(QStringLiteral("&Edit")), [this] { editClicked(); });
    addButton(edits, new QPushButton(QStringLiteral("&Delete")), [this] { deleteClicked(); });
    addButton(edits, new QPushButton(QStringLiteral("C&opy")), [this] { copyClicked(); });
    addButton(edits, new QPushButton(QStringLiteral("C&ut")), [this] { cutClicked(); });
    addButton(edits, new QPushButton(QStringLiteral("&Paste")), [this] { pasteClicked(); });
    layout->addLayout(edits);
    auto* closing = new QHBoxLayout;
    closing->addStretch();
    auto* save = new QPushButton(QStringLiteral("&Save"));
    save->setDefault(true);
    addButton(closing, save, [this] { saveClicked(); });
    addButton(closing, new QPushButton(QStringLiteral("Sa&ve As")), [this] { saveAsClicked(); });
    addButton(closing, new QPushButton(QStringLiteral("&Cancel")), [this] { reject(); });
    layout->addLayout(closing);
    resize(minimumSizeHint().width(), 420);
}

// The narrowest list whose columns, shared as fitColumns shares them, show
// every header whole.
int RecordingEditor::widthForHeaders() const {
    const QFontMetrics metrics = list_->horizontalHeader()->fontMetrics();
    constexpr int kPadding = 16;
    int width = 0;
    for (int column = 0; column < RecordingEditorModel::ColumnCount; ++column) {
        const int header =
            metrics.horizontalAdvance(
                model_.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
            kPadding;
        width = std::max(width, column == 0 ? header * 4 : header * 16 / 3);
    }
    return width + list_->verticalScrollBar()->sizeHint().width() + 2 * list_->frameWidth();
}

bool RecordingEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) fitColumns();
    return QDialog::eventFilter(watched, event);
}

// The event column takes a quarter of the list, the others share the rest;
// measured on the viewport itself, whose width settles after the dialog's.
void RecordingEditor::fitColumns() {
    const int width = list_->viewport()->width();
    const int first = width / 4;
    list_->setColumnWidth(RecordingEditorModel::EventColumn, first);
    for (int column = 1; column < RecordingEditorModel::ColumnCount; ++column) {
        list_->setColumnWidth(column, (width - first) / 4);
    }
}

std::vector<int> RecordingEditor::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void RecordingEditor::selectRows(int first, int last) {
    const QItemSelection rows(model_.index(first, 0),
                              model_.index(last, RecordingEditorModel::ColumnCount - 1));
    list_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    list_->scrollTo(model_.index(first, 0));
}

void RecordingEditor::attention(const std::string& text) {
    services_.eventDialog.messages.show(text, "Attention", MsgIcon::Exclamation);
}

std::size_t RecordingEditor::insertionRow(const std::vector<int>& rows) const {
    return rows.empty() ? model_.events().size() : static_cast<std::size_t>(rows.front());
}

void RecordingEditor::addClicked() {
    RecordingEditorEventDialog dialog(services_.eventDialog, std::nullopt, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::size_t row = insertionRow(selectedRows());
    model_.insertEvent(row, dialog.edited().event, dialog.edited().interval);
    modified_ = true;
    selectRows(static_cast<int>(row), static_cast<int>(row));
}

void RecordingEditor::editClicked() {
    const std::vector<int> rows = selectedRows();
    if (rows.size() != 1) {
        attention(rows.empty() ? "No event selected!"
                               : "Please select only one event to be edited!");
        return;
    }
    const auto row = static_cast<std::size_t>(rows.front());
    RecordingEditorEventDialog dialog(
        services_.eventDialog, EditedEvent{model_.events()[row], model_.interval(row)}, this);
    if (dialog.exec() != QDialog::Accepted) return;
    model_.replaceEvent(row, dialog.edited().event, dialog.edited().interval);
    modified_ = true;
}

void RecordingEditor::deleteClicked() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    if (services_.eventDialog.messages.show(
            "Are you sure you want to delete the selected event(s)?", "Keystrider - Warning",
            MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    model_.removeEvents(rows);
    modified_ = true;
    if (rows.front() > 0) list_->scrollTo(model_.index(rows.front() - 1, 0));
}

void RecordingEditor::moveClicked(bool up) {
    const std::vector<int> rows = selectedRows();
    if (!(up ? model_.moveUp(rows) : model_.moveDown(rows))) return;
    modified_ = true;
    QItemSelection moved;
    const int step = up ? -1 : 1;
    for (int row : rows) {
        moved.select(model_.index(row + step, 0),
                     model_.index(row + step, RecordingEditorModel::ColumnCount - 1));
    }
    list_->selectionModel()->select(moved, QItemSelectionModel::ClearAndSelect);
}

void RecordingEditor::copyClicked() {
    const std::vector<int> rows = selectedRows();
    if (!rows.empty()) services_.clipboard.events = model_.copy(rows);
}

void RecordingEditor::cutClicked() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    services_.clipboard.events = model_.copy(rows);
    model_.removeEvents(rows);
    modified_ = true;
}

void RecordingEditor::pasteClicked() {
    const std::vector<int> rows = selectedRows();
    if (rows.size() > 1) {
        services_.eventDialog.messages.show(
            "More than one item is selected.\n\nSelect only the item you wish the data to\nbe "
            "inserted before or deselect all items and\nthe data will be pasted at the end of the "
            "Event List.",
            "Keystrider - Attention", MsgIcon::Exclamation);
        return;
    }
    const std::vector<ClippedEvent>& clipped = services_.clipboard.events;
    if (clipped.empty()) return;
    const std::size_t row = insertionRow(rows);
    model_.paste(row, clipped);
    modified_ = true;
    selectRows(static_cast<int>(row), static_cast<int>(row + clipped.size()) - 1);
}

void RecordingEditor::saveClicked() {
    // The save empties what it is given once stored; the list keeps its own
    // events until the dialog goes.
    std::vector<JournalEvent> events = model_.events();
    if (!saveEditedRecording(services_.store, events, name_->text().toStdString(), openedName_,
                             static_cast<std::uint32_t>(type_))) {
        return;
    }
    savedName_ = name_->text().trimmed().toStdString();
    savedAsNew_ = false;
    QDialog::accept();
}

void RecordingEditor::saveAsClicked() {
    if (!saveRecordingAs(services_.store, model_.events(), name_->text().toStdString(),
                         static_cast<std::uint32_t>(type_))) {
        return;
    }
    savedName_ = name_->text().trimmed().toStdString();
    savedAsNew_ = true;
    QDialog::accept();
}

void RecordingEditor::reject() {
    if (modified_ &&
        services_.eventDialog.messages.show(
            "Any changes to this recording will be lost if you continue.\n\nDo you wish to "
            "continue?",
            "Keystrider - Warning", MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    QDialog::reject();
}

}  // namespace ks
