// The expression formulas of the surfaces ("260 - %p / 10"), split into tokens as a
// control record splits them and evaluated strictly left to right. The first line is
// the value of %p, the rest the formula. Invariants: the evaluation order keeps every
// operand and operator (only the brackets go), an evaluator parses once, and evaluating
// is repeatable: the same value every time, from the same tokens in a fresh evaluator.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "data/Mathematics.h"
#include "data/NumberText.h"
#include "surface/SurfaceText.h"

namespace {

bool Same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::Text(data, size);
    const std::size_t nl = text.find('\n');
    const double variable = numtext::ParseLeadingDouble(text.substr(0, nl));
    const std::vector<std::string> tokens =
        surfacetext::ParseTokenList(nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1));

    CDerivedMathematics first;
    FUZZ_EXPECT(first.ParseTokens(tokens) == 1, "a first parse of %zu tokens refused", tokens.size());
    const std::vector<std::string> order = first.GetPostfix();
    FUZZ_EXPECT(first.ParseTokens({"1", "+", "1"}) == 0 && first.GetPostfix() == order, "an evaluator parsed twice");

    std::vector<std::string> kept;
    for (const std::string& t : tokens)
        if (t != "(" && t != ")") kept.push_back(t);
    std::vector<std::string> sortedOrder = order;
    std::sort(kept.begin(), kept.end());
    std::sort(sortedOrder.begin(), sortedOrder.end());
    FUZZ_EXPECT(kept == sortedOrder, "%zu tokens (brackets aside) became %zu in evaluation order", kept.size(),
                order.size());

    first.SetVariable(variable);
    const double value = first.Evaluate();
    FUZZ_EXPECT(Same(first.Evaluate(), value), "a second evaluation differs from %.17g", value);
    CDerivedMathematics second;
    second.ParseTokens(tokens);
    second.SetVariable(variable);
    const double again = second.Evaluate();
    FUZZ_EXPECT(Same(again, value), "a fresh evaluator gives %.17g, the first %.17g", again, value);
    (void)numtext::SaturateToInt32(value);
    (void)numtext::SaturateToUInt32(value);
    return 0;
}
