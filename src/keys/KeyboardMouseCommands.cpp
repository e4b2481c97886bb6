#include "keys/KeyboardMouseCommands.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/PlusDigits.h"
#include "core/Utf8.h"
#include "core/VirtualKey.h"
#include "store/StoreKey.h"

namespace ks {
namespace {

constexpr std::int64_t kMaxNormalised = 65535;

// The buttons and the pointer move, SEND KEYS, REPLACE WORD OR PHRASE, the
// lock commands and the key combinations.
constexpr auto kIds = [] {
    std::array<CommandId, 33> ids{};
    std::size_t next = 0;
    const auto add = [&ids, &next](CommandId first, CommandId last) {
        for (std::uint32_t id = first; id <= last; ++id) ids.at(next++) = CommandId(id);
    };
    add(kLeftButtonDown, kMoveMousePointer);
    add(kSendKeys, kSendKeys);
    add(kReplaceWordOrPhrase, kReplaceWordOrPhrase);
    add(kCapsLockOff, kNumLockOn);
    add(kCtrlC, kCtrlDown);
    return ids;
}();
static_assert(kIds.back() == kCtrlDown);

struct Combination {
    std::uint8_t modifier;
    std::uint8_t key;
};

// By command identifier, from CTRL+C (4366) on.
constexpr std::array<Combination, 18> kCombinations{{
    {kVkControl, 67},
    {kVkControl, 86},
    {kVkControl, 88},
    {kVkControl, 36},
    {kVkControl, 35},
    {kVkMenu, 9},
    {kVkMenu, 13},
    {kVkMenu, 115},
    {kVkMenu, 27},
    {kVkControl, 27},
    {kVkControl, 90},
    {kVkControl, 65},
    {kVkControl, 79},
    {kVkControl, 80},
    {kVkControl, 39},
    {kVkControl, 37},
    {kVkControl, 38},
    {kVkControl, 40},
}};

// By transition, from left down on.
constexpr std::array<std::uint32_t, 6> kButtonFlags{
    kMouseLeftDown, kMouseLeftUp, kMouseMiddleDown, kMouseMiddleUp, kMouseRightDown, kMouseRightUp};

// Lock commands from CAPS LOCK OFF (4118) on: the toggle and the wanted state.
constexpr std::array<std::pair<LockKey, bool>, 6> kLockCommands{{
    {LockKey::CapsLock, false},
    {LockKey::CapsLock, true},
    {LockKey::ScrollLock, false},
    {LockKey::ScrollLock, true},
    {LockKey::NumLock, false},
    {LockKey::NumLock, true},
}};

std::uint8_t lockVk(LockKey key) {
    switch (key) {
        case LockKey::CapsLock: return 20;
        case LockKey::NumLock: return 144;
        case LockKey::ScrollLock: return 145;
    }
    return 0;
}

constexpr const char* kPointerTitle = "Keystrider - Error";
constexpr const char* kInvalidX = "Invalid XCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kInvalidY = "Invalid YCoord in command \"MOVE MOUSE POINTER\".";
constexpr const char* kOutOfRange =
    "Coordinates must be >= 0 or <= 65535 in command \"MOVE MOUSE POINTER\".";

}  // namespace

// pixels x 65535 / extent, truncating toward zero.
std::int32_t normalisedCoordinate(int pixels, int extent) {
    if (extent <= 0) return 0;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(pixels) * 65535 / extent);
}

std::string joinLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

std::optional<std::int32_t> parseCoordinate(std::string_view text) {
    const std::optional<std::uint64_t> value = parsePlusDigits(text);
    if (!value) return std::nullopt;
    // Saturates: every number past the limit is out of range alike.
    return static_cast<std::int32_t>(std::min<std::uint64_t>(*value, kMaxNormalised + 1));
}

KeyboardMouseCommands::KeyboardMouseCommands(SettingsStore& store, Messages& messages,
                                             InputServices services, Sleep sleep)
    : store_(store),
      messages_(messages),
      services_(services),
      keySequence_(services.keymap, services.injector, services.spareKeys, services.keyboard),
      sleep_(std::move(sleep)) {}

std::span<const CommandId> KeyboardMouseCommands::ids() const {
    return kIds;
}

CommandResult KeyboardMouseCommands::run(std::uint32_t id, CommandContext& command) {
    if (id >= 1 && id <= 255) {
        keystroke(command, id);
    } else if (id >= kLeftButtonDown && id <= kRightButtonUp) {
        mouseButton(static_cast<ButtonTransition>(id - kLeftButtonDown + 1));
    } else if (id == kMoveMousePointer) {
        movePointer(command);
    } else if (id == kSendKeys) {
        sendKeys(command);
    } else if (id == kReplaceWordOrPhrase) {
        replaceWordOrPhrase(command);
    } else if (id >= kCapsLockOff && id <= kNumLockOn) {
        const auto& [key, on] = kLockCommands[id - kCapsLockOff];
        lock(key, on);
    } else if (id >= kCtrlC && id <= kCtrlDown) {
        combination(id);
    }
    return CommandResult::Next;
}

void KeyboardMouseCommands::sendKeys(CommandContext& command) {
    if (const auto keys = command.text("Keys")) keySequence_.TypeText(joinLineBreaks(*keys));
}

void KeyboardMouseCommands::replaceWordOrPhrase(CommandContext& command) {
    const auto text = command.text("Text");
    if (!text) return;
    std::string phrase;
    store_.ReadMacroString(CommandKey::macroOf(command.path()), "WPhrase", phrase);
    keySequence_.TypeText(std::string(utf8::length(phrase), '\b') + joinLineBreaks(*text));
}

void KeyboardMouseCommands::injectKey(std::uint8_t vk, std::uint32_t flags) {
    const auto scan = services_.keymap.layout()->MapVirtualKey(vk, MapType::VkToScan);
    services_.injector.keyEvent(vk, static_cast<std::uint8_t>(scan), flags);
}

void KeyboardMouseCommands::keystroke(CommandContext& command, std::uint32_t vk) {
    const auto pressed = command.number("KeyPressed");
    if (!pressed || vk > 255) return;
    injectKey(static_cast<std::uint8_t>(vk), *pressed);
}

void KeyboardMouseCommands::pressAndRelease(std::uint8_t modifier, std::uint8_t key) {
    injectKey(modifier, 0);
    injectKey(key, 0);
    injectKey(key, kKeyUp);
    injectKey(modifier, kKeyUp);
}

void KeyboardMouseCommands::combination(std::uint32_t id) {
    if (id < kCtrlC || id > kCtrlDown) return;
    const Combination& combo = kCombinations[id - kCtrlC];
    pressAndRelease(combo.modifier, combo.key);
}

void KeyboardMouseCommands::mouseButton(ButtonTransition transition) {
    const auto index = static_cast<std::size_t>(transition) - 1;
    if (index >= kButtonFlags.size()) return;
    services_.injector.mouseEvent(kButtonFlags[index], 0, 0);
}

void KeyboardMouseCommands::showPointerError(const std::string& text) {
    messages_.show(text, kPointerTitle, MsgIcon::Stop);
}

std::optional<std::int32_t> KeyboardMouseCommands::readCoordinate(CommandContext& command,
                                                                  std::string_view valueName,
                                                                  const char* invalidMessage) {
    const auto text = command.text(valueName);
    if (!text) return std::nullopt;
    const auto value = parseCoordinate(*text);
    if (!value) showPointerError(invalidMessage);
    return value;
}

void KeyboardMouseCommands::movePointer(CommandContext& command) {
    const bool absolute = command.number("IsAB").value_or(1) == 1;
    const auto x = readCoordinate(command, absolute ? "XABCoord" : "XRELCoord", kInvalidX);
    if (!x) return;
    const auto y = readCoordinate(command, absolute ? "YABCoord" : "YRELCoord", kInvalidY);
    if (!y) return;
    if (*x > kMaxNormalised || *y > kMaxNormalised) {
        showPointerError(kOutOfRange);
        return;
    }
    constexpr std::uint32_t kAbsoluteMove = kMouseMove | kMouseAbsolute;
    if (absolute) {
        services_.injector.mouseEvent(kAbsoluteMove, *x, *y);
        return;
    }
    WindowControl& windows = services_.windows;
    const auto window = windows.foreground();
    if (!window || !windows.attachInput(*window)) {
        showPointerError("Unable to attach to window currently in the foreground!");
        return;
    }
    const auto rect = windows.rect(*window);
    if (!rect) {
        showPointerError("Unable to get window coordinates for window that is in the foreground!");
    } else {
        const ScreenSize screen = windows.screenSize();
        services_.injector.mouseEvent(kAbsoluteMove,
                                      normalisedCoordinate(rect->left, screen.width) + *x,
                                      normalisedCoordinate(rect->top, screen.height) + *y);
    }
    windows.detachInput(*window);
}

// The lock toggles belong to the keyboard, not to a window: on X11 there is
// no window's input to attach to before reading them. A layout without a key
// for the lock (Caps Lock under ctrl:nocaps) presses nothing; the toggle is
// then set without a key.
void KeyboardMouseCommands::lock(LockKey key, bool on) {
    sleep_(std::chrono::milliseconds(30));
    if (services_.keyboard.isOn(key) == on) return;
    injectKey(lockVk(key), kKeyExtended);
    injectKey(lockVk(key), kKeyExtended | kKeyUp);
    services_.keyboard.showToggle(key, on);
}

}  // namespace ks
