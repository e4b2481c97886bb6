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

// Why the store cannot hold a key of this (trimmed) path, if it cannot:
// an empty component, a component longer than kMaxKeyNameLength or one
// with a nameProblem.
std::optional<std::string> keyPathProblem(std::string_view relative);

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
