// The expression evaluator of the XML surfaces: short arithmetic over one
// variable, "%p", such as "260 - %p / 10".
//
// Evaluation runs strictly from left to right without operator precedence:
// "a + b * c" is (a + b) * c. The surfaces are written for this rule.
// Every intermediate result is rounded to six decimals, so 1 / 3 * 3 gives
// 0.999999.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where an evaluator takes its tokens from: a surface control's record
// holds two token lists, 1 for the send formula and 0 for the receive one.
class IFormulaTokenSource {
public:
    virtual ~IFormulaTokenSource() = default;

    virtual int GetTokenCount(int list) const = 0;
    // Null past the end of the list.
    virtual const std::string* GetToken(int list, int index) const = 0;
};

class IMathematics {
public:
    virtual ~IMathematics() = default;

    // Builds the evaluation order from the tokens of one list of `element`.
    // 1 when built; 0 when it was built before (an evaluator parses once) or
    // there is no element.
    virtual int Parse(int list, const IFormulaTokenSource* element) = 0;
    // The value that "%p" stands for.
    virtual void SetVariable(double value) = 0;
    virtual double Evaluate() = 0;
};

class CDerivedMathematics final : public IMathematics {
public:
    static constexpr int kReceiveList = 0;  // "algorithm_r"
    static constexpr int kSendList = 1;     // "algorithm_s"

    int Parse(int list, const IFormulaTokenSource* element) override;
    // The same from a token list already at hand.
    int ParseTokens(const std::vector<std::string>& tokens);
    void SetVariable(double value) override;
    // 0 when nothing was parsed. "*", "/", "%", "+" and "-" compute; the
    // shift, comparison and logic operators are recognised and give 0.
    // Division and modulo by zero give 0. An operand containing '%' is the
    // variable; any other is read as a number (leading '(' skipped, trailing
    // text such as ')' ignored, no number gives 0).
    double Evaluate() override;

    // The tokens in evaluation order (operands and operators).
    const std::vector<std::string>& GetPostfix() const { return postfix_; }

private:
    struct OperatorEntry {
        std::string text;
        std::int32_t priority;  // depth * 32768 + weight; kept, though the order never needs it
    };

    void addToken(const std::string& token);
    void flushOperators();
    double operandValue(const std::string& text) const;

    std::vector<std::string> postfix_;
    std::vector<OperatorEntry> operators_;
    bool parsed_ = false;
    double variable_ = 0.0;
    std::int32_t depth_ = 0;
};
