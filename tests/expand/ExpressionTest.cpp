#include <gtest/gtest.h>

#include "ExpandFixture.h"
#include "expand/Expression.h"

namespace ks::test {
namespace {

using Expression = ExpandFixture;

const std::string kDivide = "Divide by 0!";
const std::string kMissingParen = "Expression missing ')'";
const std::string kMissingArgument = "Missing argument!";
const std::string kMatching = "Invalid number of matching () in expression!";

std::string argument(const std::string& token) {
    return "Invalid argument \"" + token + "\" in expression!";
}
std::string op(const std::string& token) {
    return "Invalid operator: \"" + token + "\"";
}

// Precedence, left-to-right order, signs, truncation toward zero, division
// by zero and 32-bit wrapping.
TEST_F(Expression, Arithmetic) {
    expectAll({
        {"(1+2*3)", "7", {}},
        {"(10-4-3)", "3", {}},
        {"(20/2/5)", "2", {}},
        {"(7%4*3)", "9", {}},
        {"(1-(2-3))", "2", {}},
        {"(((((5)))))", "5", {}},
        {"( 1 + 2 )", "3", {}},
        {"(--5)", "5", {}},
        {"(-+5)", "-5", {}},
        {"(2*-3)", "-6", {}},
        {"(-(2+3))", "-5", {}},
        {"(-7/2)", "-3", {}},
        {"(-7%3)", "-1", {}},
        {"(7%-3)", "1", {}},
        {"(-2.9)", "-2", {}},
        {"(2.5*2)", "4", {}},
        {"(.5+1)", "1", {}},
        {"(5/0)", "Error", {kDivide}},
        {"(5/0.5)", "Error", {kDivide}},
        {"(0*5/0+1/0)", "Error", {kDivide}},
        {"(2147483647+1)", "-2147483648", {}},
        {"(-2147483648/-1)", "-2147483648", {}},
        {"(-2147483648%-1)", "0", {}},
        {"(4294967297)", "1", {}},
        {"(99999999999*99999999999)", "559034369", {}},
        {"(" + std::string(400, '9') + "/" + std::string(400, '7') + ")", "0", {}},
    });
}

TEST_F(Expression, EveryMessage) {
    expectAll({
        {"(1+2)*3", "Error", {kMatching}},
        {"(1))", "Error", {kMatching}},
        {"(1 2)", "Error", {op("2")}},
        {"(1(2))", "Error", {op("(")}},
        {"(1+)", "Error", {kMissingArgument}},
        {"(1+2*)", "Error", {kMissingArgument}},
        {"(1+2", "Error", {kMissingParen}},
        {"(a+1)", "Error", {argument("a")}},
        {"(*2)", "Error", {argument("*")}},
        {"(1.2.3)", "Error", {argument("1.2.3")}},
        {"(1\t+2)", "Error", {argument("1\t")}},  // a tab stays inside its token
        {"(1+(2+x))", "Error", {argument("x")}},  // one message from the innermost level
    });
}

TEST(ExpressionTokenizer, SplitsOperatorsAndOperands) {
    using Tokens = std::vector<std::string_view>;
    EXPECT_EQ(tokenizeExpression("  (1 +\t2)*x_y\n"),
              (Tokens{"(", "1", "+", "\t2", ")", "*", "x_y"}));
    EXPECT_EQ(tokenizeExpression("((12.5%-3))"),
              (Tokens{"(", "(", "12.5", "%", "-", "3", ")", ")"}));
    EXPECT_EQ(tokenizeExpression(" \t "), Tokens{});
}

TEST_F(Expression, EvaluateExpressionSetsTheErrorFlag) {
    bool error = true;
    EXPECT_EQ(engine.EvaluateExpression("(6*7)", error), 42);
    EXPECT_FALSE(error);
    EXPECT_EQ(engine.EvaluateExpression("(6/0)", error), 0);
    EXPECT_TRUE(error);
}

}  // namespace
}  // namespace ks::test
