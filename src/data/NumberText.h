// Number conversions shared by the data layer and its callers.
//
// Everything here works in the C locale whatever locale the program runs
// in, and every conversion from double to an integer saturates (NaN gives
// 0), so no value read from a file, a board reply or a user's text can
// cause undefined behaviour.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace numtext {

// Truncate toward zero and clamp to the target range; NaN gives 0.
std::int32_t SaturateToInt32(double value);
std::int64_t SaturateToInt64(double value);
std::uint32_t SaturateToUInt32(double value);

// The leading number of a text, read as the C library's strtod reads it in
// the C locale: leading blanks, an optional sign, decimal or hexadecimal
// digits, an exponent, "inf" or "nan". No number gives 0. `used`, when given,
// receives how many characters made the number (0 when there was none).
double ParseLeadingDouble(std::string_view text, std::size_t* used = nullptr);

// The leading integer of a text as strtoll reads it (base 10 or 16; base 16
// also accepts a "0x" prefix). Saturates at the 64-bit limits; no digits
// give 0.
std::int64_t ParseLeadingInteger(std::string_view text, int base);

// The value with exactly `decimals` digits after the point ("%.6f" for 6),
// independent of the locale. Decimals are clamped to 0..40.
std::string FormatFixed(double value, int decimals);

// Prints one number with a printf format that holds exactly one conversion,
// such as "%d", "%#.2lf", "%.lf", "%08X" or "%5.1f V". Integer conversions
// (d i u x X o) get the value converted with saturation, so a double can be
// printed with "%d" safely; floating conversions (f F e E g G a A) get the
// double. A format with no conversion, more than one, '*' widths, or other
// conversion letters prints the value with "%g" instead.
std::string FormatPrintf(std::string_view format, double value);

}  // namespace numtext
