#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

// Splits a command line into words as a POSIX shell does, without any
// expansion: blanks separate words, '…' keeps everything literally, "…"
// keeps everything but a backslash before $ ` " \ or a line break, and a
// backslash outside quotes takes the next character literally. Nothing
// when a quote is left open, which a shell refuses too.
std::optional<std::vector<std::string>> splitShellWords(std::string_view line);

}  // namespace ks
