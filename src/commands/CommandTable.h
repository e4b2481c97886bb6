#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/KeyDisplayName.h"
#include "core/CommandId.h"

namespace ks {

// The groups under which the macro editor offers the named commands, in the
// order of its category list.
enum class CommandCategory {
    System,
    Keyboard,
    Mouse,
    ClipBoard,
    WindowManipulation,
    DataManipulation,
    UserInterface,
    ControlLogic,
};
inline constexpr int kCategoryCount = 8;

struct CommandInfo {
    CommandId id;
    const char* name;
    CommandCategory category;
};

// Every named command, ordered by identifier.
std::span<const CommandInfo> commandTable();
// The entry of a named command; null for keystrokes and unused identifiers.
const CommandInfo* findCommand(std::uint32_t id);
bool isNamedCommand(std::uint32_t id);
// "DELAY", "SEND KEYS", …; empty when `id` names no command.
std::string_view commandName(std::uint32_t id);
std::optional<CommandCategory> commandCategory(std::uint32_t id);

// "System", "Keyboard", … as the editor lists them.
std::string_view categoryName(CommandCategory category);
// The category's commands in the order the editor lists them.
std::span<const CommandId> categoryCommands(CommandCategory category);

// How the editor and the export name a command: the command name for a named
// command, "ESC" for 27, the key's display name for other identifiers up to
// 255, and the empty text for anything else. PAUSE (4102) and the Pause key
// (19) share one text and differ only by identifier.
std::string KeyCodeToDisplayName(std::uint32_t id, KeyDisplayNames& keys);

}  // namespace ks
