#include "expand/Expression.h"

#include <limits>
#include <string>

#include "expand/ErrorMessage.h"

namespace ks {
namespace {

constexpr std::string_view kSingleTokens = "()+-*/%";
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

bool isSingleToken(char c) {
    return kSingleTokens.find(c) != std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

// Every operation wraps around in 32 bits, as the machine's integers do;
// going through unsigned arithmetic keeps that free of undefined behaviour.
std::int32_t wrapped(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}
std::uint32_t bits(std::int32_t value) {
    return static_cast<std::uint32_t>(value);
}

std::int32_t negated(std::int32_t value) {
    return wrapped(0u - bits(value));
}

std::int32_t applied(char op, std::int32_t left, std::int32_t right) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    switch (op) {
        case '+': return wrapped(bits(left) + bits(right));
        case '-': return wrapped(bits(left) - bits(right));
        case '*': return wrapped(bits(left) * bits(right));
        case '/': return left == kMin && right == -1 ? kMin : left / right;
        default: return right == -1 ? 0 : left % right;
    }
}

// A decimal number with at most one point, such as "12", "3.5", ".5" or
// "5.". Only its integer part is kept: every use of a value truncates it
// toward zero, and truncation commutes with negation, so dropping the
// fraction here gives the same results. Integer parts beyond 32 bits wrap.
std::optional<std::int32_t> parsedNumber(std::string_view token) {
    std::uint32_t value = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    for (char c : token) {
        if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else if (c >= '0' && c <= '9') {
            seenDigit = true;
            if (!seenPoint) value = value * 10u + static_cast<std::uint32_t>(c - '0');
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit) return std::nullopt;
    return wrapped(value);
}

enum class Sign { None, Plus, Minus };

// One parenthesised level while it is read: its operands, the operators
// between them, and the sign waiting for the next operand.
struct Level {
    std::vector<std::int32_t> values;
    std::vector<char> operators;
    Sign sign = Sign::None;
    bool expectOperand = true;

    void addOperand(std::int32_t value) {
        values.push_back(sign == Sign::Minus ? negated(value) : value);
        sign = Sign::None;
        expectOperand = false;
    }
    void addSign(char token) {
        if (token == '-') {
            sign = sign == Sign::Minus ? Sign::Plus : Sign::Minus;
        } else if (sign == Sign::None) {
            sign = Sign::Plus;
        }
    }
};

// * / % first, then + -, each left to right.
std::optional<std::int32_t> reduced(const Level& level, Messages& messages) {
    std::vector<std::int32_t> terms{level.values.front()};
    std::vector<char> additions;
    for (std::size_t i = 0; i < level.operators.size(); ++i) {
        const char op = level.operators[i];
        const std::int32_t right = level.values[i + 1];
        if (op == '+' || op == '-') {
            additions.push_back(op);
            terms.push_back(right);
            continue;
        }
        if (op != '*' && right == 0) {
            showExpansionError(messages, "Divide by 0!");
            return std::nullopt;
        }
        terms.back() = applied(op, terms.back(), right);
    }
    std::int32_t result = terms.front();
    for (std::size_t i = 0; i < additions.size(); ++i) {
        result = applied(additions[i], result, terms[i + 1]);
    }
    return result;
}

std::optional<std::int32_t> failed(Messages& messages, std::string text) {
    showExpansionError(messages, std::move(text));
    return std::nullopt;
}

}  // namespace

std::vector<std::string_view> tokenizeExpression(std::string_view text) {
    text = trimmed(text);
    std::vector<std::string_view> tokens;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
        } else if (isSingleToken(text[i])) {
            tokens.push_back(text.substr(i++, 1));
        } else {
            std::size_t end = i;
            while (end < text.size() && text[end] != ' ' && !isSingleToken(text[end])) ++end;
            tokens.push_back(text.substr(i, end - i));
            i = end;
        }
    }
    return tokens;
}

// Nested levels live on an explicit stack, so that no depth of parentheses
// can exhaust the call stack.
std::optional<std::int32_t> evaluateExpression(std::string_view text, Messages& messages) {
    const std::vector<std::string_view> tokens = tokenizeExpression(text);
    std::vector<Level> levels(1);
    for (std::size_t k = 1;; ++k) {
        if (k >= tokens.size()) return failed(messages, "Expression missing ')'");
        const std::string_view token = tokens[k];
        Level& level = levels.back();
        if (level.expectOperand) {
            if (token == "(") {
                levels.emplace_back();
            } else if (token == ")") {
                return failed(messages, "Missing argument!");
            } else if (token == "+" || token == "-") {
                level.addSign(token[0]);
            } else if (const auto number = parsedNumber(token)) {
                level.addOperand(*number);
            } else {
                return failed(messages,
                              "Invalid argument \"" + std::string(token) + "\" in expression!");
            }
            continue;
        }
        if (token.size() == 1 && token != "(" && token != ")" && isSingleToken(token[0])) {
            level.operators.push_back(token[0]);
            level.expectOperand = true;
            continue;
        }
        if (token != ")")
            return failed(messages, "Invalid operator: \"" + std::string(token) + "\"");
        const auto value = reduced(level, messages);
        if (!value) return std::nullopt;
        levels.pop_back();
        if (levels.empty()) {
            if (k + 1 != tokens.size()) {
                return failed(messages, "Invalid number of matching () in expression!");
            }
            return value;
        }
        levels.back().addOperand(*value);
    }
}

}  // namespace ks
