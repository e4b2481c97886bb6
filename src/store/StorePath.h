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

// Why the store cannot hold a key of this (trimmed) path, if it cannot:
// an empty component or a component longer than kMaxKeyNameLength.
std::optional<std::string> keyPathProblem(std::string_view relative);

// The path from the top of the tree, `SOFTWARE\Quorvel\Keystrider\<relative>`.
std::string storePath(std::string_view relative);

}  // namespace ks
