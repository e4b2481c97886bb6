#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/CommandFamily.h"
#include "core/Messages.h"
#include "keys/KeySequence.h"
#include "platform/InputInjector.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/SpareKeys.h"
#include "platform/WindowControl.h"
#include "store/SettingsStore.h"

namespace ks {

// Button transitions in the order of their commands.
enum class ButtonTransition { LeftDown = 1, LeftUp, MiddleDown, MiddleUp, RightDown, RightUp };

// The platform services the input commands act through.
struct InputServices {
    Keymap& keymap;
    InputInjector& injector;
    SpareKeys& spareKeys;
    KeyboardState& keyboard;
    WindowControl& windows;
};

// The keyboard, mouse and lock commands and the keystrokes 1 to 255. Each
// reports what is wrong in a message box and never stops the macro.
class KeyboardMouseCommands final : public CommandFamily {
public:
    // Waits while the program goes on: the run's wait, never a sleep of the thread.
    using Sleep = std::function<void(std::chrono::milliseconds)>;

    KeyboardMouseCommands(SettingsStore& store, Messages& messages, InputServices services,
                          Sleep sleep);

    std::span<const CommandId> ids() const override;
    bool runsKeystrokes() const override { return true; }
    // An identifier of no keystroke and no command of the family does nothing.
    CommandResult run(std::uint32_t id, CommandContext& command) override;

    KeySequence& keySequence() { return keySequence_; }

private:
    void sendKeys(CommandContext& command);
    // Erases the phrase that started the macro, one Backspace per character
    // of the macro's `WPhrase`, and types the command's text in its place.
    void replaceWordOrPhrase(CommandContext& command);
    void keystroke(CommandContext& command, std::uint32_t vk);
    void combination(std::uint32_t id);
    void mouseButton(ButtonTransition transition);
    void movePointer(CommandContext& command);
    void lock(LockKey key, bool on);
    std::optional<std::int32_t> readCoordinate(CommandContext& command, std::string_view valueName,
                                               const char* invalidMessage);
    void showPointerError(const std::string& text);
    void pressAndRelease(std::uint8_t modifier, std::uint8_t key);
    void injectKey(std::uint8_t vk, std::uint32_t flags);

    SettingsStore& store_;
    Messages& messages_;
    InputServices services_;
    KeySequence keySequence_;
    Sleep sleep_;
};

// SEND KEYS text rule: every carriage return + line feed pair becomes one
// line feed, so that a stored line break types one Enter.
std::string joinLineBreaks(std::string_view text);

// A coordinate text after expansion: one or more decimal digits, optionally
// after one '+'. Nothing for anything else; numbers above 65535 come out as 65536.
std::optional<std::int32_t> parseCoordinate(std::string_view text);

// A pixel position along a screen `extent` pixels wide in MOVE MOUSE
// POINTER's units, 0 to 65535 across the screen.
std::int32_t normalisedCoordinate(int pixels, int extent);

}  // namespace ks
