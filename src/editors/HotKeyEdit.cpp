#include "editors/HotKeyEdit.h"

#include <QKeyEvent>

#include "platform/HotKeys.h"
#include "platform/KeyLayout.h"

namespace ks {

namespace {

// X keycodes are the layout's scan codes less this.
constexpr quint32 kKeycodeOffset = 8;

std::uint32_t hotKeyModifiers(Qt::KeyboardModifiers held) {
    std::uint32_t bits = 0;
    if (held & Qt::AltModifier) bits |= kModAlt;
    if (held & Qt::ControlModifier) bits |= kModControl;
    if (held & Qt::ShiftModifier) bits |= kModShift;
    if (held & Qt::MetaModifier) bits |= kModWin;
    return bits;
}

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_Super_L ||
           key == Qt::Key_Super_R;
}

}  // namespace

HotKeyEdit::HotKeyEdit(Layout layout, Text text, QWidget* parent)
    : QLineEdit(parent), layout_(std::move(layout)), text_(std::move(text)) {
    setReadOnly(true);
    setHotKey(0, 0);
}

void HotKeyEdit::setHotKey(std::uint32_t vk, std::uint32_t modifiers) {
    vk_ = vk;
    modifiers_ = modifiers;
    setText(vk == 0 ? QStringLiteral("None") : QString::fromStdString(text_(vk, modifiers)));
}

// Tab with Ctrl or Alt is taken as a hot key; alone it moves the focus on.
bool HotKeyEdit::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event) {
    if (isModifierKey(event->key())) return;
    if (event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        return setHotKey(0, 0);
    }
    const std::shared_ptr<const KeyLayout> layout = layout_ ? layout_() : nullptr;
    const quint32 keycode = event->nativeScanCode();
    if (!layout || keycode < kKeycodeOffset || keycode - kKeycodeOffset > 255) return;
    const std::uint32_t vk = layout->vkOfScan[keycode - kKeycodeOffset];
    if (vk == 0) return;
    setHotKey(vk, hotKeyModifiers(event->modifiers()));
}

}  // namespace ks
