#include "data/Mathematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

double eval(const std::string& expression, double variable = 0.0)
{
    std::istringstream in(expression);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    CDerivedMathematics m;
    EXPECT_EQ(m.ParseTokens(tokens), 1);
    m.SetVariable(variable);
    return m.Evaluate();
}

TEST(Mathematics, EvaluatesStrictlyLeftToRightWithSixDecimalsAtEveryStep)
{
    EXPECT_DOUBLE_EQ(eval("2 + 3 * 4"), 20.0);
    EXPECT_DOUBLE_EQ(eval("10 - 2 - 3"), 5.0);
    EXPECT_DOUBLE_EQ(eval("260 - %p / 10", 60), 20.0);
    EXPECT_DOUBLE_EQ(eval("%p * -10 + 260", 20), 60.0);
    EXPECT_DOUBLE_EQ(eval("-7 % 2"), -1.0);
    EXPECT_DOUBLE_EQ(eval("- %p", 4), -4.0);  // a lone minus negates
    EXPECT_EQ(eval("%p", 42), 42.0);
    // Brackets glued to operands are operands: they change nothing in a left-to-right walk.
    EXPECT_DOUBLE_EQ(eval("(%p - 20 * -1) / 100", 50), -0.3);
    EXPECT_DOUBLE_EQ(eval("( %p + 5 ) * 2", 1), 12.0);
    EXPECT_DOUBLE_EQ(eval("1 / 3 * 3"), 0.999999);
    EXPECT_DOUBLE_EQ(eval("%p * 1", 0.1234567), 0.123457);
}

TEST(Mathematics, BadInputGivesDefinedResults)
{
    // 0.5 truncates to 0; an operator other than minus takes no single operand; operators
    // that do not compute give 0.
    for (const char* expression : {"5 / 0", "5 % 0", "5 % 0.5", "-9223372036854775808 % -1", "", "+", "* 4", "1 << 4",
                                   "1 >> 4", "1 < 4", "1 > 4", "1 <= 4", "1 >= 4", "1 == 4", "1 != 4", "1 & 4",
                                   "1 ^ 4", "1 | 4", "1 && 4", "1 || 4"})
        EXPECT_EQ(eval(expression), 0.0) << expression;
    EXPECT_EQ(eval("1e300 % 7"), static_cast<double>(9223372036854775807LL % 7));
    EXPECT_EQ(eval("abc + 2"), 2.0);  // no number reads as 0
    EXPECT_EQ(eval(") ) ) 2 + 1"), 3.0);
    EXPECT_TRUE(std::isinf(eval("1e308 * 10")));
    CDerivedMathematics unparsed;
    EXPECT_EQ(unparsed.Parse(CDerivedMathematics::kSendList, nullptr), 0);
    EXPECT_EQ(unparsed.Evaluate(), 0.0);
}

}  // namespace
