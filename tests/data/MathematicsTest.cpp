#include "data/Mathematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace {

std::vector<std::string> split(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    return tokens;
}

double eval(const std::string& expression, double variable = 0.0)
{
    CDerivedMathematics m;
    EXPECT_EQ(m.ParseTokens(split(expression)), 1);
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
    EXPECT_EQ(eval("%p", 42), 42.0);          // a lone operand is its value
    // Brackets glued to operands are operands: they change nothing in a left-to-right walk.
    EXPECT_DOUBLE_EQ(eval("(%p - 20 * -1) / 100", 50), -0.3);
    EXPECT_DOUBLE_EQ(eval("( %p + 5 ) * 2", 1), 12.0);
    EXPECT_DOUBLE_EQ(eval("1 / 3 * 3"), 0.999999);
    EXPECT_DOUBLE_EQ(eval("%p * 1", 0.1234567), 0.123457);
}

TEST(Mathematics, BadInputGivesDefinedResults)
{
    // 0.5 truncates to 0; an operator other than minus takes no single operand.
    for (const char* expression : {"5 / 0", "5 % 0", "5 % 0.5", "-9223372036854775808 % -1", "", "+", "* 4"})
        EXPECT_EQ(eval(expression), 0.0) << expression;
    EXPECT_EQ(eval("1e300 % 7"), static_cast<double>(9223372036854775807LL % 7));
    EXPECT_EQ(eval("abc + 2"), 2.0);  // no number reads as 0
    EXPECT_EQ((std::tuple{eval(") ) ) 2 + 1"), std::isinf(eval("1e308 * 10"))}), (std::tuple{3.0, true}));
    for (const char* op : {"<<", ">>", "<", ">", "<=", ">=", "==", "!=", "&", "^", "|", "&&", "||"}) {
        EXPECT_EQ(eval(std::string("1 ") + op + " 4"), 0.0) << op;  // operators that do not compute
    }
    CDerivedMathematics unparsed;
    EXPECT_EQ((std::tuple{unparsed.Parse(CDerivedMathematics::kSendList, nullptr), unparsed.Evaluate()}), (std::tuple{0, 0.0}));
}

// Fixed-seed random token lists: the evaluator may not crash or trip a sanitizer.
TEST(Fuzz, EvaluatorOnRandomTokenLists)
{
    const std::vector<std::string> pool = {
        "%p", "%tp", "(%p", "%p)", "(", ")", "*", "/", "%", "+", "-", "<<", ">>", "<", ">", "<=", ">=", "==",
        "!=", "&", "^", "|", "&&", "||", "0", "-0", "1", "-1", "7", "0.5", "1e308", "-1e308", "1e-320", "inf",
        "-inf", "nan", "0x1F", "9223372036854775808", "-9223372036854775809", "", " ", "(((", ")))", "abc",
        "1)", "(2", "%", "%%", "1e", "--5", "+-3",
    };
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> variable(-1e12, 1e12);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> tokens;
        const std::size_t count = rng() % 12;
        for (std::size_t i = 0; i < count; ++i) {
            std::string junk(rng() % 10 == 0 ? rng() % 6 : 0, '\0');  // one token in ten is random bytes
            for (char& c : junk) c = static_cast<char>(rng());
            tokens.push_back(junk.empty() ? pool[rng() % pool.size()] : junk);
        }
        CDerivedMathematics m;
        ASSERT_EQ(m.ParseTokens(tokens), 1);
        for (const double v : {0.0, variable(rng), std::numeric_limits<double>::infinity(), std::nan("")}) {
            m.SetVariable(v);
            (void)m.Evaluate();
        }
    }
}

}  // namespace
