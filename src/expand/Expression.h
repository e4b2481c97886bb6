#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/Messages.h"

namespace ks {

// Splits an expression after trimming white space from its ends: each of
// ( ) + - * / % is a token, a blank separates tokens, and every other run of
// characters is one operand token.
std::vector<std::string_view> tokenizeExpression(std::string_view text);

// Integer arithmetic over a parenthesised expression such as "((1+2)*3)",
// in wrapping 32-bit arithmetic with * / % binding tighter than + -. The
// first token is taken to be the opening parenthesis. On a fault, shows one
// message and gives nothing.
std::optional<std::int32_t> evaluateExpression(std::string_view text, Messages& messages);

}  // namespace ks
