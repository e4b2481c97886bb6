#pragma once

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ks {

struct KeyLayout;

// A field that takes a hot key as it is pressed: the key through the live
// layout's virtual keys, the modifiers held with it; shown by the hot-key
// texts the macro list uses.
class HotKeyEdit final : public QLineEdit {
public:
    using Layout = std::function<std::shared_ptr<const KeyLayout>()>;
    using Text = std::function<std::string(std::uint32_t vk, std::uint32_t modifiers)>;

    HotKeyEdit(Layout layout, Text text, QWidget* parent = nullptr);

    void setHotKey(std::uint32_t vk, std::uint32_t modifiers);
    std::uint32_t vk() const { return vk_; }
    std::uint32_t modifiers() const { return modifiers_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    Layout layout_;
    Text text_;
    std::uint32_t vk_ = 0;
    std::uint32_t modifiers_ = 0;
};

}  // namespace ks
