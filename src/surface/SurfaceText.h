// How the texts of a surface's fields are read. The separators are comma,
// tab, line feed and carriage return; numbers are decimal and read the same
// in every locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace surfacetext {

// Every separator turned into a blank.
std::string SeparatorsToBlanks(std::string_view text);
// The text split at whitespace (blanks and the separators).
std::vector<std::string> SplitAtWhitespace(std::string_view text);

// The leading decimal integer after leading whitespace and separators, with
// an optional sign; reading stops at the first other character. No digits
// give 0; values beyond 32 bits saturate. `digits`, when given, tells
// whether there were any.
std::int32_t ParseNumber(std::string_view text, bool* digits = nullptr);
// Two numbers from the first two tokens; one token gives both values.
std::pair<std::int32_t, std::int32_t> ParseTwoNumbers(std::string_view text);
// The first token, or an empty text.
std::string FirstToken(std::string_view text);
// Captions: items are separated by the separators, blanks stay inside an
// item (trailing ones too), indentation before an item is removed, an
// underscore reads as a blank, and an empty last item is dropped.
std::vector<std::string> ParseItemList(std::string_view text);
// Formula tokens: split at whitespace only, so "(%p" stays one token.
std::vector<std::string> ParseTokenList(std::string_view text);

}  // namespace surfacetext
