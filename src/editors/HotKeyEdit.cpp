#include "editors/HotKeyEdit.h"

#include <QKeyEvent>

#include "platform/HotKeys.h"
#include "platform/KeyLayout.h"

namespace ks {

namespace {

// X keycodes are the layout's scan codes less this.
constexpr quint32 kKeycodeOffset = 8;

constexpr Qt::KeyboardModifiers kHotKeyHolders =
    Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

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

bool isDialogKey(int key) {
    return key == Qt::Key_Escape || key == Qt::Key_Tab || key == Qt::Key_Backtab ||
           key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool typesSomething(const QString& text) {
    return !text.isEmpty() && text.at(0).isPrint();
}

}  // namespace

HotKeyPress classifyHotKeyPress(int key, Qt::KeyboardModifiers held, const QString& text) {
    if (isModifierKey(key)) return HotKeyPress::Modifier;
    const bool holder = (held & kHotKeyHolders) != 0;
    if (!holder && isDialogKey(key)) return HotKeyPress::Dialog;
    if (held == Qt::NoModifier && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        return HotKeyPress::Clear;
    }
    const bool functionKey = key >= Qt::Key_F1 && key <= Qt::Key_F35;
    if (!holder && !functionKey && typesSomething(text)) return HotKeyPress::Refuse;
    return HotKeyPress::Take;
}

HotKeyEdit::HotKeyEdit(Layout layout, Text text, QWidget* parent)
    : QLineEdit(parent), layout_(std::move(layout)), text_(std::move(text)) {
    setReadOnly(true);
    setHotKey(0, 0);
}

// A field destroyed with the focus gets no focus-out: the hot keys come back here.
HotKeyEdit::~HotKeyEdit() {
    suspendHotKeys(false);
}

void HotKeyEdit::setHooks(Refused refused, SuspendHotKeys suspend) {
    refused_ = std::move(refused);
    suspend_ = std::move(suspend);
    if (hasFocus()) suspendHotKeys(true);
}

void HotKeyEdit::setHotKey(std::uint32_t vk, std::uint32_t modifiers) {
    vk_ = vk;
    modifiers_ = modifiers;
    setText(vk == 0 ? QStringLiteral("None") : QString::fromStdString(text_(vk, modifiers)));
}

// Tab with Ctrl or Alt is a hot key; without them the dialog moves the focus on.
bool HotKeyEdit::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (classifyHotKeyPress(key->key(), key->modifiers(), key->text()) != HotKeyPress::Dialog) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event) {
    switch (classifyHotKeyPress(event->key(), event->modifiers(), event->text())) {
        case HotKeyPress::Dialog: event->ignore(); return;
        case HotKeyPress::Modifier: return;
        case HotKeyPress::Clear: return setHotKey(0, 0);
        case HotKeyPress::Refuse:
            if (refused_) refused_(kRefusal);
            return;
        case HotKeyPress::Take: break;
    }
    const std::shared_ptr<const KeyLayout> layout = layout_ ? layout_() : nullptr;
    const quint32 keycode = event->nativeScanCode();
    if (!layout || keycode < kKeycodeOffset || keycode - kKeycodeOffset > 255) return;
    const std::uint32_t vk = layout->vkOfScan[keycode - kKeycodeOffset];
    if (vk == 0) return;
    setHotKey(vk, hotKeyModifiers(event->modifiers()));
}

void HotKeyEdit::focusInEvent(QFocusEvent* event) {
    suspendHotKeys(true);
    QLineEdit::focusInEvent(event);
}

void HotKeyEdit::focusOutEvent(QFocusEvent* event) {
    suspendHotKeys(false);
    QLineEdit::focusOutEvent(event);
}

void HotKeyEdit::suspendHotKeys(bool on) {
    if (on == suspended_ || !suspend_) return;
    suspended_ = on;
    suspend_(on);
}

}  // namespace ks
