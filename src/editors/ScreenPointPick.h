#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "core/Messages.h"

class QPushButton;
class QWidget;

namespace ks {

class InputCapture;
class InputInjector;
class Keymap;
struct CapturedInput;

// What a screen-point pick works with.
struct PickServices {
    Keymap& keymap;  // reads the keys captured while picking
    InputCapture& capture;
    InputInjector& injector;   // places the pointer before the pick
    QWidget& mainWindow;       // minimised while a point is picked
    std::uint32_t pickButton;  // the button-up message that picks a point
};

// The "Get X,Y From Screen" button of a dialog: a click minimises the main
// window and waits for the chosen mouse button's release anywhere on the
// screen, which gives its pixel, or for Ctrl+Break, which gives 0, 0; the
// dialog then comes forward again. While it waits, a window over the whole
// desktop takes the click, so that nothing below acts on it.
class ScreenPointPick final : public QObject {
public:
    using Picked = std::function<void(std::uint32_t x, std::uint32_t y)>;
    // Puts the pointer where the dialog's fields say before the pick starts.
    using PlacePointer = std::function<void(InputInjector& injector)>;

    ScreenPointPick(PickServices services, Messages& messages, QWidget* dialog, Picked picked,
                    PlacePointer placePointer);
    ~ScreenPointPick() override;

    QPushButton* button() const { return button_; }
    void start();

private:
    void pickEvents(const CapturedInput* inputs, std::size_t count);
    void end(std::optional<std::pair<std::uint32_t, std::uint32_t>> point);
    void showMainWindow(bool shown);

    PickServices services_;
    Messages& messages_;
    QWidget* dialog_;
    Picked picked_;
    PlacePointer placePointer_;
    QPushButton* button_;
    std::unique_ptr<QWidget> cover_;  // over the desktop while picking
    bool picking_ = false;
};

}  // namespace ks
