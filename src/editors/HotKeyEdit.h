#pragma once

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ks {

struct KeyLayout;

// What a key pressed in the hot-key field does.
enum class HotKeyPress {
    Dialog,    // Escape, Tab and Enter keep their meaning in the dialog
    Modifier,  // a modifier alone waits for the key it goes with
    Clear,     // Backspace or Delete alone: no hot key
    Refuse,    // a key that types, without Ctrl, Alt or the logo key
    Take,      // becomes the hot key
};

// A hot key must not take a key that types from every program: without
// Ctrl, Alt or the logo key only F-keys and keys that type nothing (`text`
// is what the key typed) are taken.
HotKeyPress classifyHotKeyPress(int key, Qt::KeyboardModifiers held, const QString& text);

// A field that takes a hot key as it is pressed: the key through the live
// layout's virtual keys, the modifiers held with it; shown by the hot-key
// texts the macro list uses.
class HotKeyEdit final : public QLineEdit {
public:
    using Layout = std::function<std::shared_ptr<const KeyLayout>()>;
    using Text = std::function<std::string(std::uint32_t vk, std::uint32_t modifiers)>;
    // Tells the user why a key was not taken.
    using Refused = std::function<void(const std::string& why)>;
    // Suspends (true) or resumes (false) the program's own hot keys.
    using SuspendHotKeys = std::function<void(bool)>;

    HotKeyEdit(Layout layout, Text text, QWidget* parent = nullptr);
    ~HotKeyEdit() override;

    void setHotKey(std::uint32_t vk, std::uint32_t modifiers);
    std::uint32_t vk() const { return vk_; }
    std::uint32_t modifiers() const { return modifiers_; }
    // While the field has the focus the program's hot keys are suspended,
    // so that a combination another macro holds arrives here to be warned of.
    void setHooks(Refused refused, SuspendHotKeys suspend);

    static constexpr const char* kRefusal =
        "A hot key needs Ctrl, Alt or the logo key held with its key; only F-keys and keys that "
        "type nothing may go without.\n\nA key that types would no longer type in any program.";

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void suspendHotKeys(bool on);

    Layout layout_;
    Text text_;
    Refused refused_;
    SuspendHotKeys suspend_;
    bool suspended_ = false;
    std::uint32_t vk_ = 0;
    std::uint32_t modifiers_ = 0;
};

}  // namespace ks
