#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ks {

// Paths relative to the store's root (`Macros\Backup\Commands\0`; empty for
// the root itself), as the store tool and registry export files name keys.

// Longest key name the store takes, in characters.
inline constexpr std::size_t kMaxKeyNameLength = 255;

// The path without leading or trailing backslashes: `\` and `` both name the root.
std::string trimmedKeyPath(std::string_view relative);

// Why a key or value of this name could not be kept or exported, if it
// could not: a line break has no place in a .reg file, and a zero character
// ends a name early for whoever reads it.
std::optional<std::string> nameProblem(std::string_view name);

// The one rule for the name of a macro or recording, which is its key's
// name: a backslash would split it into a key and a sub-key, and a line
// break or other control character cannot be written to a .reg file, breaks
// a list row or a message, and hides in what the user reads.
enum class NameFault { Backslash, ControlCharacter };
std::optional<NameFault> itemNameFault(std::string_view name);
// The fault in words, to follow "must not contain".
std::string_view nameFaultText(NameFault fault);

// What a key path is checked for: reading and deleting take any key that
// exists; an export needs names a .reg file can hold; a key written by name
// must also keep the name rule.
enum class KeyUse { Find, Export, Write };

// Why the store cannot hold or reach a key of this (trimmed) path for `use`,
// if it cannot: an empty component or one longer than kMaxKeyNameLength;
// for an export one with a nameProblem; for a write one breaking the name rule.
std::optional<std::string> keyPathProblem(std::string_view relative, KeyUse use);

// Why the key at `path` may not be created, written or deleted by name, if
// it may not: an empty path, or one ending in a backslash, is what joining
// an empty name (or one of only backslashes) gives, and it would reach the
// key above instead: Macros, Journals, the whole store.
std::optional<std::string> namedKeyProblem(std::string_view path);

// Why the key at `relative` may not be deleted, if it may not: an empty
// name, or one of only backslashes, names the root, the whole store.
std::optional<std::string> keyDeletionProblem(std::string_view relative);

// The path from the top of the tree, `SOFTWARE\Quorvel\Keystrider\<relative>`.
std::string storePath(std::string_view relative);

}  // namespace ks
