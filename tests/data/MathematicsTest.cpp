#include "data/Mathematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

std::vector<std::string> split(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) {
        tokens.push_back(t);
    }
    return tokens;
}

double eval(const std::string& expression, double variable = 0.0)
{
    CDerivedMathematics m;
    EXPECT_EQ(m.ParseTokens(split(expression)), 1);
    m.SetVariable(variable);
    return m.Evaluate();
}

// A control record's two token lists.
class Record : public IFormulaTokenSource {
public:
    std::vector<std::string> lists[2];

    int GetTokenCount(int list) const override
    {
        return list == 0 || list == 1 ? static_cast<int>(lists[list].size()) : 0;
    }
    const std::string* GetToken(int list, int index) const override
    {
        if (GetTokenCount(list) <= index || index < 0) {
            return nullptr;
        }
        return &lists[list][static_cast<std::size_t>(index)];
    }
};

TEST(Mathematics, EvaluatesStrictlyLeftToRight)
{
    EXPECT_DOUBLE_EQ(eval("2 + 3 * 4"), 20.0);
    EXPECT_DOUBLE_EQ(eval("2 * 3 + 4"), 10.0);
    EXPECT_DOUBLE_EQ(eval("10 - 2 - 3"), 5.0);
    EXPECT_DOUBLE_EQ(eval("260 - %p / 10", 60), 20.0);
    EXPECT_DOUBLE_EQ(eval("%p * -10 + 260", 20), 60.0);
    EXPECT_DOUBLE_EQ(eval("7 % 2"), 1.0);
    EXPECT_DOUBLE_EQ(eval("-7 % 2"), -1.0);
}

TEST(Mathematics, BracketsGluedToOperandsAreOperands)
{
    // Brackets change nothing in a left-to-right walk.
    EXPECT_DOUBLE_EQ(eval("(%p - 20 * -1) / 100", 50), -0.3);
    EXPECT_DOUBLE_EQ(eval("(%p + 5 * 1) / 100", 15), 0.2);
    EXPECT_DOUBLE_EQ(eval("( %p + 5 ) * 2", 1), 12.0);
    EXPECT_DOUBLE_EQ(eval("(20 + %p) / 2", 4), 12.0);
}

TEST(Mathematics, EveryStepKeepsSixDecimals)
{
    EXPECT_DOUBLE_EQ(eval("1 / 3"), 0.333333);
    EXPECT_DOUBLE_EQ(eval("1 / 3 * 3"), 0.999999);
    EXPECT_DOUBLE_EQ(eval("%p * 1", 0.1234567), 0.123457);
}

TEST(Mathematics, OperatorsThatDoNotComputeGiveZero)
{
    for (const char* op : {"<<", ">>", "<", ">", "<=", ">=", "==", "!=", "&", "^", "|", "&&", "||"}) {
        EXPECT_EQ(eval(std::string("1 ") + op + " 4"), 0.0) << op;
    }
    // A lone minus negates; other operators with one operand give 0.
    EXPECT_DOUBLE_EQ(eval("- %p", 4), -4.0);
    EXPECT_EQ(eval("* 4"), 0.0);
}

TEST(Mathematics, BadInputGivesDefinedResults)
{
    EXPECT_EQ(eval("5 / 0"), 0.0);
    EXPECT_EQ(eval("5 % 0"), 0.0);
    EXPECT_EQ(eval("5 % 0.5"), 0.0);  // truncates to 0
    EXPECT_EQ(eval("-9223372036854775808 % -1"), 0.0);
    EXPECT_EQ(eval("1e300 % 7"), static_cast<double>(9223372036854775807LL % 7));
    EXPECT_EQ(eval(""), 0.0);
    EXPECT_EQ(eval("+"), 0.0);
    EXPECT_EQ(eval("abc + 2"), 2.0);  // no number reads as 0
    EXPECT_EQ(eval(") ) ) 2 + 1"), 3.0);
    EXPECT_TRUE(std::isinf(eval("1e308 * 10")));

    CDerivedMathematics unparsed;
    EXPECT_EQ(unparsed.Evaluate(), 0.0);
}

TEST(Mathematics, ALoneOperandIsItsValue)
{
    EXPECT_EQ(eval("%p", 42), 42.0);
    EXPECT_EQ(eval("12.5"), 12.5);
}

TEST(Mathematics, ParsesOnceFromTheChosenList)
{
    Record record;
    record.lists[CDerivedMathematics::kSendList] = split("%p * 10");
    record.lists[CDerivedMathematics::kReceiveList] = split("%p / 10");

    CDerivedMathematics send;
    EXPECT_EQ(send.Parse(CDerivedMathematics::kSendList, &record), 1);
    EXPECT_EQ(send.GetPostfix(), (std::vector<std::string>{"%p", "10", "*"}));
    EXPECT_EQ(send.Parse(CDerivedMathematics::kReceiveList, &record), 0);
    EXPECT_EQ(send.ParseTokens(split("1 + 1")), 0);
    send.SetVariable(3);
    EXPECT_DOUBLE_EQ(send.Evaluate(), 30.0);
    send.SetVariable(5);
    EXPECT_DOUBLE_EQ(send.Evaluate(), 50.0);

    CDerivedMathematics receive;
    EXPECT_EQ(receive.Parse(CDerivedMathematics::kReceiveList, nullptr), 0);
    EXPECT_EQ(receive.Parse(CDerivedMathematics::kReceiveList, &record), 1);
    receive.SetVariable(30);
    EXPECT_DOUBLE_EQ(receive.Evaluate(), 3.0);
}

}  // namespace
