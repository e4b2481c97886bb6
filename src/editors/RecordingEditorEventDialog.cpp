#include "editors/RecordingEditorEventDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <limits>

#include "core/PlusDigits.h"
#include "core/VirtualKey.h"
#include "keys/KeyNames.h"
#include "platform/InputInjector.h"
#include "platform/Keymap.h"

namespace ks {
namespace {

// The event list's choices in order; the first eight are mouse events.
constexpr std::array<std::uint32_t, 16> kChoices{
    kWmMouseMove, kWmLButtonDown, kWmLButtonUp, kWmMButtonDown, kWmMButtonUp,  kWmRButtonDown,
    kWmRButtonUp, kWmMouseWheel,  kWmKeyDown,   kWmKeyUp,       kWmSysKeyDown, kWmSysKeyUp,
    kWmChar,      kWmDeadChar,    kWmSysChar,   kWmSysDeadChar,
};
constexpr int kMouseChoices = 8;

std::optional<std::uint64_t> trimmedNumber(const QLineEdit* field) {
    return parsePlusDigits(field->text().trimmed().toStdString());
}

}  // namespace

RecordingEditorEventDialog::RecordingEditorEventDialog(EventDialogServices services,
                                                       std::optional<EditedEvent> preset,
                                                       QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
    setWindowTitle(preset ? QStringLiteral("Keystrider - Edit Event")
                          : QStringLiteral("Keystrider - Add Event"));
    buildLayout();
    if (preset) this->preset(*preset);
    showFieldsOfChoice();
}

RecordingEditorEventDialog::~RecordingEditorEventDialog() = default;

void RecordingEditorEventDialog::buildLayout() {
    auto* grid = new QGridLayout;
    event_ = new QComboBox;
    for (std::uint32_t message : kChoices) {
        event_->addItem(QString::fromLatin1(eventDisplayName(message).data()));
    }
    event_->setCurrentIndex(-1);
    connect(event_, &QComboBox::currentIndexChanged, this, [this] { showFieldsOfChoice(); });
    interval_ = new QLineEdit;
    x_ = new QLineEdit;
    y_ = new QLineEdit;
    xLabel_ = new QLabel(QStringLiteral("XCoord >= 0 and <= %1").arg(services_.extent.width));
    yLabel_ = new QLabel(QStringLiteral("YCoord >= 0 and <= %1").arg(services_.extent.height));
    key_ = new QComboBox;
    for (const std::string& name : keyDisplayNames()) key_->addItem(QString::fromStdString(name));
    key_->setCurrentIndex(-1);
    keyLabel_ = new QLabel(QStringLiteral("Key list:"));
    grid->addWidget(new QLabel(QStringLiteral("Event list:")), 0, 0);
    grid->addWidget(event_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Interval millisecond(s):")), 1, 0);
    grid->addWidget(interval_, 1, 1);
    grid->addWidget(xLabel_, 2, 0);
    grid->addWidget(x_, 2, 1);
    grid->addWidget(yLabel_, 3, 0);
    grid->addWidget(y_, 3, 1);
    grid->addWidget(keyLabel_, 4, 0);
    grid->addWidget(key_, 4, 1);

    pick_ = new ScreenPointPick(
        services_.pick, services_.messages, this,
        [this](std::uint32_t x, std::uint32_t y) {
            x_->setText(QString::number(x));
            y_->setText(QString::number(y));
        },
        [this](InputInjector& injector) {
            const auto x = trimmedNumber(x_);
            const auto y = trimmedNumber(y_);
            if (x && y)
                injector.motion(static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y));
        });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(pick_->button());
    layout->addWidget(buttons);
}

void RecordingEditorEventDialog::preset(const EditedEvent& edited) {
    const JournalEvent& event = edited.event;
    const auto* found = std::find(kChoices.begin(), kChoices.end(), event.message);
    if (found != kChoices.end())
        event_->setCurrentIndex(static_cast<int>(found - kChoices.begin()));
    interval_->setText(QString::number(edited.interval));
    if (isMouseMessage(event.message)) {
        x_->setText(QString::number(event.paramL));
        y_->setText(QString::number(event.paramH));
    } else {
        key_->setCurrentIndex(key_->findText(QString::fromStdString(
            keyDisplayNameOfKey(*services_.pick.keymap.layout(), virtualKeyOf(event)))));
    }
}

bool RecordingEditorEventDialog::mouseChosen() const {
    return event_->currentIndex() >= 0 && event_->currentIndex() < kMouseChoices;
}

void RecordingEditorEventDialog::showFieldsOfChoice() {
    const bool mouse = mouseChosen();
    const bool keyboard = event_->currentIndex() >= kMouseChoices;
    for (QWidget* field :
         std::initializer_list<QWidget*>{x_, y_, xLabel_, yLabel_, pick_->button()}) {
        field->setVisible(mouse);
    }
    key_->setVisible(keyboard);
    keyLabel_->setVisible(keyboard);
}

void RecordingEditorEventDialog::attention(const std::string& text, const char* title) {
    services_.messages.show(text, title, MsgIcon::Information);
}

std::optional<std::uint32_t> RecordingEditorEventDialog::coordinate(const QLineEdit* field,
                                                                    int limit, const char* text) {
    const auto value = trimmedNumber(field);
    if (!value || *value > static_cast<std::uint64_t>(std::max(limit, 0))) {
        attention(text + std::to_string(limit), "Keystrider - Attention");
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

// The checks in the order the user meets them: event, point or key, interval.
std::optional<EditedEvent> RecordingEditorEventDialog::checked() {
    if (event_->currentIndex() < 0) {
        attention("Event must be selected.", "Attention");
        return std::nullopt;
    }
    EditedEvent edited;
    edited.event.message = kChoices[static_cast<std::size_t>(event_->currentIndex())];
    if (mouseChosen()) {
        const auto x = coordinate(x_, services_.extent.width, "X Coordinates must be >= 0 and <= ");
        if (!x) return std::nullopt;
        const auto y =
            coordinate(y_, services_.extent.height, "Y Coordinates must be >= 0 and <= ");
        if (!y) return std::nullopt;
        edited.event.paramL = *x;
        edited.event.paramH = *y;
    } else {
        if (key_->currentIndex() < 0) {
            attention("Key must be selected.", "Attention");
            return std::nullopt;
        }
        const std::shared_ptr<const KeyLayout> keys = services_.pick.keymap.layout();
        const KeyLayout& layout = *keys;
        const auto vk =
            static_cast<std::uint8_t>(KeyNameToCode(layout, key_->currentText().toStdString()));
        const std::uint32_t scan = layout.MapVirtualKey(vk, MapType::VkToScan);
        // The player presses the scan code kept above the key code, as recorded.
        edited.event.paramL = vk | (scan << 8);
        edited.event.paramH = scan;
    }
    const auto interval = trimmedNumber(interval_);
    if (!interval) {
        attention("Interval must be a positive number!", "Keystrider - Attention");
        return std::nullopt;
    }
    edited.interval = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(*interval, std::numeric_limits<std::uint32_t>::max()));
    return edited;
}

void RecordingEditorEventDialog::accept() {
    const auto edited = checked();
    if (!edited) return;
    result_ = *edited;
    QDialog::accept();
}

void RecordingEditorEventDialog::pickClicked() {
    pick_->start();
}

}  // namespace ks
