#include "surface/SurfaceText.h"

#include <limits>

namespace surfacetext {
namespace {

bool isSeparator(char c)
{
    return c == ',' || c == '\t' || c == '\n' || c == '\r';
}

bool isWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The token that starts at or after `i` (empty at the end of the text), with
// `i` moved past it.
std::string_view nextToken(std::string_view text, std::size_t& i)
{
    while (i < text.size() && (isWhitespace(text[i]) || isSeparator(text[i]))) {
        ++i;
    }
    const std::size_t start = i;
    while (i < text.size() && !isWhitespace(text[i]) && !isSeparator(text[i])) {
        ++i;
    }
    return text.substr(start, i - start);
}

}  // namespace

std::string SeparatorsToBlanks(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (isSeparator(c)) {
            c = ' ';
        }
    }
    return out;
}

std::vector<std::string> SplitAtWhitespace(std::string_view text)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (const std::string_view token = nextToken(text, i); !token.empty()) {
            tokens.emplace_back(token);
        }
    }
    return tokens;
}

std::int32_t ParseNumber(std::string_view text, bool* digits)
{
    std::size_t i = 0;
    while (i < text.size() && (isWhitespace(text[i]) || isSeparator(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude in 64 bits and stop growing once it is past
    // the 32-bit range, so long digit runs saturate instead of overflowing.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        if (magnitude <= kLimit) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    if (digits != nullptr) {
        *digits = any;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::pair<std::int32_t, std::int32_t> ParseTwoNumbers(std::string_view text)
{
    std::size_t i = 0;
    const std::string_view firstToken = nextToken(text, i);
    if (firstToken.empty()) {
        return {0, 0};
    }
    const std::int32_t first = ParseNumber(firstToken);
    const std::string_view secondToken = nextToken(text, i);
    return {first, secondToken.empty() ? first : ParseNumber(secondToken)};
}

std::string FirstToken(std::string_view text)
{
    std::size_t i = 0;
    return std::string(nextToken(text, i));
}

std::vector<std::string> ParseItemList(std::string_view text)
{
    // Blanks are hidden as underscores while the text is split at the
    // separators, then shown again; so an underscore of the text itself
    // reads as a blank too.
    std::string hidden(text);
    for (char& c : hidden) {
        if (c == ' ') {
            c = '_';
        } else if (isSeparator(c)) {
            c = ' ';
        }
    }
    std::vector<std::string> items;
    for (std::string& token : SplitAtWhitespace(hidden)) {
        for (char& c : token) {
            if (c == '_') {
                c = ' ';
            }
        }
        const std::size_t first = token.find_first_not_of(' ');
        items.push_back(first == std::string::npos ? std::string() : token.substr(first));
    }
    if (!items.empty() && items.back().empty()) {
        items.pop_back();
    }
    return items;
}

std::vector<std::string> ParseTokenList(std::string_view text)
{
    return SplitAtWhitespace(text);
}

}  // namespace surfacetext
