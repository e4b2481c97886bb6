#pragma once

#include <string_view>

namespace ks {

// Whether a window title matches a pattern: `*` stands for any run of
// characters, `?` for one character, and `_` makes the character after it
// stand for itself. The match ends when the title does: an empty title
// matches only the empty pattern, and a pattern that goes on after the
// whole title has been matched, even with `*` alone, does not match. Callers
// upper-case both sides, so that case does not count.
bool MatchWildcard(std::string_view text, std::string_view pattern);

}  // namespace ks
