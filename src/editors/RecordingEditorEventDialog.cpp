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
#include "journal/CaptureTranslation.h"
#include "keys/KeyNames.h"
#include "platform/InputCapture.h"
#include "platform/InputInjector.h"

namespace ks {
namespace {

// The event list's choices in order; the first eight are mouse events.
constexpr std::array<std::uint32_t, 16> kChoices{
    kWmMouseMove, kWmLButtonDown, kWmLButtonUp, kWmMButtonDown, kWmMButtonUp,  kWmRButtonDown,
    kWmRButtonUp, kWmMouseWheel,  kWmKeyDown,   kWmKeyUp,       kWmSysKeyDown, kWmSysKeyUp,
    kWmChar,      kWmDeadChar,    kWmSysChar,   kWmSysDeadChar,
};
constexpr int kMouseChoices = 8;

const char* pickText(std::uint32_t pickButton) {
    switch (pickButton) {
        case kWmLButtonUp: return "Get X,Y From Screen.  Use Left Mouse Button.";
        case kWmMButtonUp: return "Get X,Y From Screen.  Use Middle Mouse Button.";
        default: return "Get X,Y From Screen.  Use Right Mouse Button.";
    }
}

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

RecordingEditorEventDialog::~RecordingEditorEventDialog() {
    if (picking_) endPick(std::nullopt);
}

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
    for (const std::string& name : KeyDisplayNames()) key_->addItem(QString::fromStdString(name));
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

    pick_ = new QPushButton(QString::fromLatin1(pickText(services_.pickButton)));
    connect(pick_, &QPushButton::clicked, this, [this] { PickClicked(); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(pick_);
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
        key_->setCurrentIndex(key_->findText(
            QString::fromStdString(KeyDisplayNameOfKey(*services_.layout, virtualKeyOf(event)))));
    }
}

bool RecordingEditorEventDialog::mouseChosen() const {
    return event_->currentIndex() >= 0 && event_->currentIndex() < kMouseChoices;
}

void RecordingEditorEventDialog::showFieldsOfChoice() {
    const bool mouse = mouseChosen();
    const bool keyboard = event_->currentIndex() >= kMouseChoices;
    for (QWidget* field : std::initializer_list<QWidget*>{x_, y_, xLabel_, yLabel_, pick_}) {
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
        const KeyLayout& layout = *services_.layout;
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

void RecordingEditorEventDialog::PickClicked() {
    if (picking_) return;
    showMainWindow(false);
    const bool started =
        services_.capture != nullptr &&
        services_.capture->start(
            [this](const CapturedInput* inputs, std::size_t count) { pickEvents(inputs, count); },
            [this] { endPick(std::nullopt); });
    if (!started) {
        services_.messages.show("Unable to set hook for recording!", "Keystrider - Error",
                                MsgIcon::Stop);
        showMainWindow(true);
        return;
    }
    picking_ = true;
    const auto x = trimmedNumber(x_);
    const auto y = trimmedNumber(y_);
    if (x && y && services_.injector != nullptr) {
        services_.injector->motion(static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y));
        services_.injector->flush();
    }
}

// The chosen button's release gives its point; Ctrl+Break gives 0, 0.
void RecordingEditorEventDialog::pickEvents(const CapturedInput* inputs, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto event = toJournalEvent(inputs[i], *services_.layout);
        if (!event) continue;
        if (event->message == services_.pickButton) {
            return endPick(std::pair{event->paramL, event->paramH});
        }
        if (event->message == kWmKeyDown && virtualKeyOf(*event) == kVkCancel) {
            return endPick(std::pair{0u, 0u});
        }
    }
}

void RecordingEditorEventDialog::endPick(
    std::optional<std::pair<std::uint32_t, std::uint32_t>> point) {
    picking_ = false;
    services_.capture->stop();
    if (point) {
        x_->setText(QString::number(point->first));
        y_->setText(QString::number(point->second));
        raise();
        activateWindow();
    }
    showMainWindow(true);
}

void RecordingEditorEventDialog::showMainWindow(bool shown) {
    QWidget* window = services_.mainWindow;
    if (window == nullptr) return;
    if (shown) {
        window->showNormal();
        return;
    }
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->showMinimized();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
}

}  // namespace ks
