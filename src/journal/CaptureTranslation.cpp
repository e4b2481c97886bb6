#include "journal/CaptureTranslation.h"

namespace ks {
namespace {

// X key codes are the scan codes moved up by 8.
constexpr std::uint32_t kKeycodeOffset = 8;

std::uint8_t virtualKeyOf(const CapturedInput& input, std::uint32_t scan, const KeyLayout& layout) {
    const bool numLock = (input.modifiers & CapturedInput::kNumLock) != 0;
    const std::uint8_t vk = layout.vkOfPressedKey(static_cast<std::uint8_t>(scan), numLock);
    const bool control = (input.modifiers & CapturedInput::kControl) != 0;
    return vk == kVkPause && control ? kVkCancel : vk;
}

std::optional<JournalEvent> keyEvent(const CapturedInput& input, const KeyLayout& layout) {
    if (input.detail < kKeycodeOffset || input.detail > 255) return std::nullopt;
    const std::uint32_t scan = input.detail - kKeycodeOffset;
    const std::uint8_t vk = virtualKeyOf(input, scan, layout);
    const bool down = input.kind == CapturedInput::Kind::KeyPress;
    const bool control = (input.modifiers & CapturedInput::kControl) != 0;
    const bool alt = (input.modifiers & CapturedInput::kAlt) != 0 || vk == kVkMenu;
    const bool system = alt && !control;
    const std::uint32_t message =
        system ? (down ? kWmSysKeyDown : kWmSysKeyUp) : (down ? kWmKeyDown : kWmKeyUp);
    return JournalEvent{message, vk | (scan << 8), scan, input.time,
                        static_cast<std::uint32_t>(input.window)};
}

std::optional<std::uint32_t> buttonMessage(std::uint32_t button, bool down) {
    switch (button) {
        case 1: return down ? kWmLButtonDown : kWmLButtonUp;
        case 2: return down ? kWmMButtonDown : kWmMButtonUp;
        case 3: return down ? kWmRButtonDown : kWmRButtonUp;
        default: return std::nullopt;
    }
}

JournalEvent mouseEvent(const CapturedInput& input, std::uint32_t message) {
    return JournalEvent{message, static_cast<std::uint32_t>(input.rootX),
                        static_cast<std::uint32_t>(input.rootY), input.time,
                        static_cast<std::uint32_t>(input.window)};
}

std::optional<JournalEvent> buttonEvent(const CapturedInput& input) {
    const bool down = input.kind == CapturedInput::Kind::ButtonPress;
    // A wheel notch is one press and release; the press carries it.
    if (input.detail == 4 || input.detail == 5) {
        if (!down) return std::nullopt;
        JournalEvent wheel = mouseEvent(input, kWmMouseWheel);
        wheel.hwnd = static_cast<std::uint32_t>(input.detail == 4 ? kWheelDelta : -kWheelDelta);
        return wheel;
    }
    const auto message = buttonMessage(input.detail, down);
    if (!message) return std::nullopt;
    return mouseEvent(input, *message);
}

}  // namespace

std::optional<JournalEvent> toJournalEvent(const CapturedInput& input, const KeyLayout& layout) {
    switch (input.kind) {
        case CapturedInput::Kind::KeyPress:
        case CapturedInput::Kind::KeyRelease: return keyEvent(input, layout);
        case CapturedInput::Kind::ButtonPress:
        case CapturedInput::Kind::ButtonRelease: return buttonEvent(input);
        case CapturedInput::Kind::Motion: return mouseEvent(input, kWmMouseMove);
    }
    return std::nullopt;
}

}  // namespace ks
