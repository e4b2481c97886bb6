#include "interchange/ExchangeDialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Messages.h"

namespace ks {

namespace {

// Wide enough for a usual path and for the title.
constexpr int kPathFieldCharacters = 60;

QString titleOf(ExchangeDirection direction, ExportKind kind) {
    const bool out = direction == ExchangeDirection::Export;
    const bool macros = kind == ExportKind::Macros;
    return QString::fromLatin1("Keystrider - %1 %2 %3:")
        .arg(out ? "Export" : "Import", macros ? "Macros" : "Recordings", out ? "To" : "From");
}

}  // namespace

ExchangePathDialog::ExchangePathDialog(QWidget* parent, Messages& messages,
                                       ExchangeDirection direction, ExportKind kind)
    : QDialog(parent), messages_(messages), direction_(direction) {
    setWindowTitle(titleOf(direction, kind));
    const bool out = direction == ExchangeDirection::Export;
    auto* layout = new QVBoxLayout(this);
    fileBox_ = new QCheckBox(out ? tr("Export to file:") : tr("Import from file:"));
    fileBox_->setChecked(true);
    layout->addWidget(fileBox_);
    layout->addWidget(new QLabel(tr("Path and File Name:")));
    auto* row = new QHBoxLayout;
    pathField_ = new QLineEdit;
    row->addWidget(pathField_);
    pathField_->setMinimumWidth(pathField_->fontMetrics().averageCharWidth() *
                                kPathFieldCharacters);
    auto* browseButton = new QPushButton(QStringLiteral("..."));
    // Enter after choosing a file completes the dialog rather than browsing again.
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, [this] { browse(); });
    row->addWidget(browseButton);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
}

std::string ExchangePathDialog::path() const {
    return pathField_->text().trimmed().toStdString();
}

void ExchangePathDialog::accept() {
    const bool out = direction_ == ExchangeDirection::Export;
    if (!fileBox_->isChecked()) {
        messages_.show(out ? "Must select an export option." : "Must select an import option.",
                       "Keystrider - Error", MsgIcon::Stop);
        return;
    }
    if (path().empty()) {
        messages_.show("Path and File Name: can not be empty.", "Keystrider - Error",
                       MsgIcon::Stop);
        return;
    }
    QDialog::accept();
}

void ExchangePathDialog::browse() {
    const bool out = direction_ == ExchangeDirection::Export;
    const QString caption =
        out ? tr("Select or enter export file name:") : tr("Select or enter import file name:");
    const QString filters = QStringLiteral("XML Files (.xml) (*.XML *.xml);;All Files (.*) (*)");
    const QString chosen =
        out ? QFileDialog::getSaveFileName(this, caption, pathField_->text(), filters, nullptr,
                                           QFileDialog::DontConfirmOverwrite)
            : QFileDialog::getOpenFileName(this, caption, pathField_->text(), filters);
    if (!chosen.isEmpty()) pathField_->setText(chosen);
}

std::optional<std::vector<std::size_t>> chooseImportItems(QWidget* parent, const std::string& title,
                                                          const std::vector<std::string>& names) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromStdString(title));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QObject::tr("Select desired import items:")));
    auto* list = new QListWidget;
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const std::string& name : names) list->addItem(QString::fromStdString(name));
    list->selectAll();
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* importButton =
        buttons->addButton(QObject::tr("Import"), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    // Only once the button is in the dialog: before, the dialog would pick
    // its first button, Cancel, as the default when it shows.
    importButton->setDefault(true);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::size_t> kept;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected()) kept.push_back(static_cast<std::size_t>(row));
    }
    return kept;
}

ExchangeProgress::ExchangeProgress(QWidget* parent, std::string title)
    : parent_(parent), title_(std::move(title)) {}

ExchangeProgress::~ExchangeProgress() = default;

bool ExchangeProgress::step(std::size_t done, std::size_t total) {
    // Made at the first step, so that it never shows while the user still
    // chooses what to import. It shows at once: shown later, it would come
    // up over a warning the import is waiting on, and the import would look
    // hung behind it.
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(QString::fromStdString(title_),
                                                    QObject::tr("Cancel"), 0, 0, parent_);
        dialog_->setWindowTitle(QString::fromStdString(title_));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
    }
    dialog_->setMaximum(static_cast<int>(total));
    dialog_->setValue(static_cast<int>(done));
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
}

}  // namespace ks
