#include "data/Mathematics.h"

#include "data/NumberText.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <string_view>

namespace {

constexpr std::int32_t kBracketWeight = 0x8000;
constexpr std::int64_t kDepthStep = 32768;

enum Opcode {
    kMultiply = 1,
    kDivide = 2,
    kModulo = 3,
    kAdd = 4,
    kSubtract = 5,
    // 6 to 18: shifts, comparisons and logic, recognised but not computed
};

const std::map<std::string, std::int32_t, std::less<>>& weights()
{
    static const std::map<std::string, std::int32_t, std::less<>> table = {
        {"(", kBracketWeight}, {")", kBracketWeight},
        {"*", 0x800}, {"/", 0x800}, {"%", 0x800},
        {"+", 0x400}, {"-", 0x400},
        {"<<", 0x200}, {">>", 0x200},
        {"<", 0x100}, {">", 0x100}, {"<=", 0x100}, {">=", 0x100},
        {"==", 0x80}, {"!=", 0x80},
        {"&", 0x40}, {"^", 0x20}, {"|", 0x10},
        {"&&", 8}, {"||", 4},
    };
    return table;
}

const std::map<std::string, int, std::less<>>& opcodes()
{
    static const std::map<std::string, int, std::less<>> table = {
        {"*", 1}, {"/", 2}, {"%", 3}, {"+", 4}, {"-", 5},
        {"<<", 6}, {">>", 7},
        {"<", 8}, {">", 9}, {"<=", 10}, {">=", 11},
        {"==", 12}, {"!=", 13},
        {"&", 14}, {"^", 15}, {"|", 16},
        {"&&", 17}, {"||", 18},
    };
    return table;
}

double binary(int opcode, double a, double b)
{
    switch (opcode) {
    case kMultiply:
        return a * b;
    case kDivide:
        return b == 0.0 ? 0.0 : a / b;
    case kModulo: {
        const std::int64_t x = numtext::SaturateToInt64(a);
        const std::int64_t y = numtext::SaturateToInt64(b);
        // y == -1 would overflow for the smallest x; its remainder is 0 anyway.
        return (y == 0 || y == -1) ? 0.0 : static_cast<double>(x % y);
    }
    case kAdd:
        return a + b;
    case kSubtract:
        return a - b;
    default:
        return 0.0;
    }
}

}  // namespace

int CDerivedMathematics::Parse(int list, const IFormulaTokenSource* element)
{
    if (element == nullptr || parsed_) {
        return 0;
    }
    std::vector<std::string> tokens;
    const int count = element->GetTokenCount(list);
    for (int i = 0; i < count; ++i) {
        const std::string* token = element->GetToken(list, i);
        if (token == nullptr) {
            break;
        }
        tokens.push_back(*token);
    }
    return ParseTokens(tokens);
}

int CDerivedMathematics::ParseTokens(const std::vector<std::string>& tokens)
{
    if (parsed_) {
        return 0;
    }
    depth_ = 0;
    for (const std::string& token : tokens) {
        addToken(token);
    }
    flushOperators();
    parsed_ = true;
    return 1;
}

void CDerivedMathematics::addToken(const std::string& token)
{
    const auto& table = weights();
    const auto weight = table.find(token);
    if (weight == table.end()) {
        postfix_.push_back(token);  // an operand, glued brackets and all
        return;
    }
    if (token == "(") {
        if (depth_ < std::numeric_limits<std::int32_t>::max()) {
            ++depth_;
        }
        return;
    }
    if (token == ")") {
        if (depth_ > std::numeric_limits<std::int32_t>::min()) {
            --depth_;
        }
        return;
    }
    // Moving every earlier operator out first puts each operator right after
    // its two operands: that is what makes the order strictly left to right.
    flushOperators();
    const std::int64_t priority = std::clamp<std::int64_t>(
        depth_ * kDepthStep + weight->second, std::numeric_limits<std::int32_t>::min(),
        std::numeric_limits<std::int32_t>::max());
    operators_.push_back({token, static_cast<std::int32_t>(priority)});
}

void CDerivedMathematics::flushOperators()
{
    while (!operators_.empty()) {
        postfix_.push_back(std::move(operators_.back().text));
        operators_.pop_back();
    }
}

void CDerivedMathematics::SetVariable(double value)
{
    variable_ = value;
}

double CDerivedMathematics::operandValue(const std::string& text) const
{
    if (text.find('%') != std::string::npos) {
        return variable_;
    }
    // A bracket glued to a number, as in "(20", belongs to the expression's
    // layout, not to the number.
    std::string_view number(text);
    while (!number.empty() && number.front() == '(') {
        number.remove_prefix(1);
    }
    return numtext::ParseLeadingDouble(number);
}

double CDerivedMathematics::Evaluate()
{
    const auto& ops = opcodes();
    std::vector<std::string> work;
    work.reserve(postfix_.size());
    for (const std::string& token : postfix_) {
        const auto op = ops.find(token);
        if (op == ops.end()) {
            work.push_back(token);
            continue;
        }
        // Reduce the whole work stack: the most recent operand is b, the
        // oldest one a.
        double result = 0.0;
        if (work.size() >= 2) {
            result = binary(op->second, operandValue(work.front()), operandValue(work.back()));
        } else if (work.size() == 1) {
            result = op->second == kSubtract ? -operandValue(work.back()) : 0.0;
        }
        work.clear();
        work.push_back(numtext::FormatFixed(result, 6));
    }
    return work.empty() ? 0.0 : operandValue(work.back());
}
