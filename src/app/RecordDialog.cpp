#include "app/RecordDialog.h"

#include "app/HelpWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ks {
namespace {

constexpr int kWindowIdRole = Qt::UserRole;

}  // namespace

RecordDialog::RecordDialog(Services services, Guide& guide, QWidget* mainWindow,
                           std::vector<std::string> listedNames)
    : QDialog(mainWindow),
      guide_(guide),
      windowControl_(services.windows),
      mainWindow_(mainWindow),
      listedNames_(std::move(listedNames)),
      recorder_(services, *this) {
    setWindowTitle(QStringLiteral("Keystrider - Record"));
    buildLayout(services.capture.absolutePositions());
    // The windows there are before this dialog shows itself.
    fillWindowList();
}

RecordDialog::~RecordDialog() {
    recorder_.Cancel();
}

void RecordDialog::buildLayout(bool absolutePositions) {
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Recording Name:")));
    name_ = new QLineEdit;
    left->addWidget(name_);

    auto* types = new QGroupBox(QStringLiteral("Record which events:"));
    auto* typeLayout = new QVBoxLayout(types);
    both_ = new QRadioButton(QStringLiteral("Keyboard + Mouse"));
    keyboard_ = new QRadioButton(QStringLiteral("Keyboard"));
    mouse_ = new QRadioButton(QStringLiteral("Mouse"));
    for (auto [button, type] :
         {std::pair{both_, RecordingType::KeyboardAndMouse},
          std::pair{keyboard_, RecordingType::Keyboard}, std::pair{mouse_, RecordingType::Mouse}}) {
        typeLayout->addWidget(button);
        connect(button, &QRadioButton::toggled, this, [this, type = type](bool on) {
            if (on) recorder_.setType(type);
        });
    }
    both_->setChecked(true);
    left->addWidget(types);

    minimize_ = new QCheckBox(QStringLiteral("Minimize Keystrider"));
    connect(minimize_, &QCheckBox::toggled, this, [this](bool on) { recorder_.setMinimize(on); });
    left->addWidget(minimize_);

    auto* hint = new QLabel(QStringLiteral(
        "Be sure to select the window to the right that you wish to begin recording in and click "
        "Record.  When you are finished recording press Ctrl-Break."));
    hint->setWordWrap(true);
    left->addWidget(hint);
    if (!absolutePositions) {
        auto* relative = new QLabel(QStringLiteral(
            "Mouse positions are not places on the screen here: each is recorded as the distance "
            "from where the pointer was when recording began."));
        relative->setObjectName(QStringLiteral("relativePositions"));
        relative->setWordWrap(true);
        left->addWidget(relative);
    }

    auto* buttons = new QHBoxLayout;
    auto* record = new QPushButton(QStringLiteral("Record"));
    auto* save = new QPushButton(QStringLiteral("Save"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* help = new QPushButton(QStringLiteral("&Help"));
    save->setDefault(true);
    connect(help, &QPushButton::clicked, this, [this] { guide_.open(kRecordingsSection); });
    connect(record, &QPushButton::clicked, this, [this] { recordClicked(); });
    connect(save, &QPushButton::clicked, this, [this] { saveClicked(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    for (QPushButton* button : {record, save, cancel, help}) buttons->addWidget(button);
    left->addLayout(buttons);
    left->addStretch();
    layout->addLayout(left);

    windows_ = new QTreeWidget;
    windows_->setRootIsDecorated(false);
    windows_->setHeaderLabels({QStringLiteral("Begin recording in the following window:")});
    windows_->setSelectionMode(QAbstractItemView::SingleSelection);
    windows_->setUniformRowHeights(true);
    layout->addWidget(windows_, 1);
    resize(640, 320);
}

void RecordDialog::fillWindowList() {
    for (const RecorderWindow& window : recorderWindowList(windowControl_)) {
        auto* row = new QTreeWidgetItem(windows_);
        row->setText(0, QString::fromStdString(window.caption));
        row->setData(0, kWindowIdRole, QVariant::fromValue<qulonglong>(window.id));
    }
}

QRadioButton* RecordDialog::typeButton(RecordingType type) const {
    switch (type) {
        case RecordingType::Keyboard: return keyboard_;
        case RecordingType::Mouse: return mouse_;
        case RecordingType::KeyboardAndMouse: break;
    }
    return both_;
}

void RecordDialog::recordClicked() {
    std::optional<WindowId> window;
    if (QTreeWidgetItem* row = windows_->currentItem(); row && row->isSelected()) {
        window = row->data(0, kWindowIdRole).toULongLong();
    }
    recorder_.Record(window);
}

void RecordDialog::saveClicked() {
    const std::string name = name_->text().toStdString();
    if (!recorder_.Save(name, listedNames_)) return;
    savedName_ = name;
    accept();
}

void RecordDialog::reject() {
    recorder_.Cancel();
    QDialog::reject();
}

void RecordDialog::post(std::function<void()> task) {
    QTimer::singleShot(0, this, std::move(task));
}

void RecordDialog::raiseDialog() {
    show();
    raise();
    // The window manager may refuse a program's own activation request while
    // another program has the focus; the window-control request acts as the
    // user's pager and is obeyed.
    if (!windowControl_.setForeground(winId())) activateWindow();
}

void RecordDialog::minimizeMainWindow(bool minimized) {
    if (!mainWindow_) return;
    if (minimized) {
        mainWindow_->setAttribute(Qt::WA_ShowWithoutActivating);
        mainWindow_->showMinimized();
        mainWindow_->setAttribute(Qt::WA_ShowWithoutActivating, false);
    } else {
        mainWindow_->showNormal();
    }
}

void RecordDialog::closeDialog() {
    reject();
}

}  // namespace ks
