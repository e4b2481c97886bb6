#include "editors/ScreenPointPick.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include "core/VirtualKey.h"
#include "journal/CaptureTranslation.h"
#include "platform/InputCapture.h"
#include "platform/InputInjector.h"
#include "platform/Keymap.h"

namespace ks {

namespace {

const char* pickText(std::uint32_t pickButton) {
    switch (pickButton) {
        case kWmLButtonUp: return "Get X,Y From Screen.  Use Left Mouse Button.";
        case kWmMButtonUp: return "Get X,Y From Screen.  Use Middle Mouse Button.";
        default: return "Get X,Y From Screen.  Use Right Mouse Button.";
    }
}

// A window over the whole desktop, showing it as it is, that takes the
// picking click: passed through, the click would act on the window below it
// (open the desktop's menu, follow a link). The capture still sees it.
std::unique_ptr<QWidget> coverDesktop() {
    auto cover = std::make_unique<QLabel>();
    cover->setObjectName(QStringLiteral("pickCover"));
    cover->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint);
    cover->setAttribute(Qt::WA_ShowWithoutActivating);
    cover->setCursor(Qt::CrossCursor);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->virtualGeometry();
        cover->setPixmap(
            screen->grabWindow(0, desktop.x(), desktop.y(), desktop.width(), desktop.height()));
        cover->setGeometry(desktop);
    }
    cover->show();
    return cover;
}

}  // namespace

ScreenPointPick::ScreenPointPick(PickServices services, Messages& messages, QWidget* dialog,
                                 Picked picked, PlacePointer placePointer)
    : QObject(dialog),
      services_(std::move(services)),
      messages_(messages),
      dialog_(dialog),
      picked_(std::move(picked)),
      placePointer_(std::move(placePointer)),
      button_(new QPushButton(QString::fromLatin1(pickText(services_.pickButton)), dialog)) {
    button_->setAutoDefault(false);
    connect(button_, &QPushButton::clicked, this, [this] { start(); });
}

ScreenPointPick::~ScreenPointPick() {
    if (picking_) end(std::nullopt);
}

void ScreenPointPick::start() {
    if (picking_) return;
    showMainWindow(false);
    const bool started = services_.capture.start(
        [this](const CapturedInput* inputs, std::size_t count) { pickEvents(inputs, count); },
        [this] { end(std::nullopt); });
    if (!started) {
        messages_.show("Unable to set hook for recording!", "Keystrider - Error", MsgIcon::Stop);
        showMainWindow(true);
        return;
    }
    picking_ = true;
    cover_ = coverDesktop();
    placePointer_(services_.injector);
    services_.injector.flush();
}

// The chosen button's release gives its point; Ctrl+Break gives 0, 0.
void ScreenPointPick::pickEvents(const CapturedInput* inputs, std::size_t count) {
    const std::shared_ptr<const KeyLayout> layout = services_.keymap.layout();
    for (std::size_t i = 0; i < count; ++i) {
        const auto event = toJournalEvent(inputs[i], *layout);
        if (!event) continue;
        if (event->message == services_.pickButton) {
            return end(std::pair{event->paramL, event->paramH});
        }
        if (event->message == kWmKeyDown && virtualKeyOf(*event) == kVkCancel) {
            return end(std::pair{0u, 0u});
        }
    }
}

void ScreenPointPick::end(std::optional<std::pair<std::uint32_t, std::uint32_t>> point) {
    picking_ = false;
    services_.capture.stop();
    cover_.reset();
    if (point) {
        picked_(point->first, point->second);
        dialog_->raise();
        dialog_->activateWindow();
    }
    showMainWindow(true);
}

void ScreenPointPick::showMainWindow(bool shown) {
    QWidget& window = services_.mainWindow;
    if (shown) {
        window.showNormal();
        return;
    }
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    window.showMinimized();
    window.setAttribute(Qt::WA_ShowWithoutActivating, false);
}

}  // namespace ks
