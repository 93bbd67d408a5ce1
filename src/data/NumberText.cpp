#include "data/NumberText.h"

#include "platform/core/Numeric.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace numtext {
namespace {

// Switches the calling thread to the C locale for the lifetime of the
// object; the GUI toolkit sets the user's locale process-wide, which would
// otherwise turn decimal points into commas in printf and strtod.
class CLocaleScope {
public:
    CLocaleScope() : previous_(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t cLocale()
    {
        // Created once and kept for the life of the process.
        static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return locale != static_cast<locale_t>(0) ? locale : LC_GLOBAL_LOCALE;
    }
    locale_t previous_;
};


bool isFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One conversion of a printf format, split so that it can be rebuilt with
// a length modifier of our choosing.
struct Conversion {
    std::string flagsWidthPrecision;  // e.g. "#08.2"
    char letter = 0;
};

// Returns false when the format is not one we print safely.
bool splitFormat(std::string_view format, std::string& prefix, Conversion& conv, std::string& suffix)
{
    bool found = false;
    std::string* out = &prefix;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            out->push_back(c);
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out->append("%%");
            i += 2;
            continue;
        }
        if (found) {
            return false;  // a second conversion would read a missing argument
        }
        ++i;
        std::string spec;
        while (i < format.size() && isFlag(format[i])) {
            spec.push_back(format[i++]);
        }
        std::size_t digits = 0;
        while (i < format.size() && isDigit(format[i])) {
            spec.push_back(format[i++]);
            if (++digits > 3) {
                return false;  // widths beyond 999 serve no display
            }
        }
        if (i < format.size() && format[i] == '.') {
            spec.push_back(format[i++]);
            digits = 0;
            while (i < format.size() && isDigit(format[i])) {
                spec.push_back(format[i++]);
                if (++digits > 3) {
                    return false;
                }
            }
        }
        // Length modifiers are replaced by our own.
        while (i < format.size() && std::string_view("hlLqjzt").find(format[i]) != std::string_view::npos) {
            ++i;
        }
        if (i >= format.size()) {
            return false;
        }
        const char letter = format[i++];
        if (std::string_view("diuxXofFeEgGaA").find(letter) == std::string_view::npos) {
            return false;
        }
        conv.flagsWidthPrecision = std::move(spec);
        conv.letter = letter;
        found = true;
        out = &suffix;
    }
    return found;
}

template <typename... Args>
std::string printC(const std::string& format, Args... args)
{
    CLocaleScope scope;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int needed = std::snprintf(nullptr, 0, format.c_str(), args...);
    if (needed <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(text.data(), text.size(), format.c_str(), args...);
#pragma GCC diagnostic pop
    text.resize(static_cast<std::size_t>(needed));
    return text;
}

}  // namespace

std::int32_t SaturateToInt32(double value)
{
    return platform::saturate<std::int32_t>(value);
}

std::int64_t SaturateToInt64(double value)
{
    return platform::saturate<std::int64_t>(value);
}

std::uint32_t SaturateToUInt32(double value)
{
    return platform::saturate<std::uint32_t>(value);
}

double ParseLeadingDouble(std::string_view text, std::size_t* used)
{
    const std::string copy(text);  // strtod needs a terminated string
    char* end = nullptr;
    double value = 0.0;
    {
        CLocaleScope scope;
        value = std::strtod(copy.c_str(), &end);
    }
    const auto consumed = static_cast<std::size_t>(end - copy.c_str());
    if (used != nullptr) {
        *used = consumed;
    }
    return consumed == 0 ? 0.0 : value;
}

std::int64_t ParseLeadingInteger(std::string_view text, int base)
{
    if (base < 2 || base > 36) {
        return 0;
    }
    const std::string copy(text);
    char* end = nullptr;
    long long value = 0;
    {
        CLocaleScope scope;
        value = std::strtoll(copy.c_str(), &end, base);  // saturates on overflow
    }
    return end == copy.c_str() ? 0 : static_cast<std::int64_t>(value);
}

std::string FormatFixed(double value, int decimals)
{
    if (decimals < 0) {
        decimals = 0;
    } else if (decimals > 40) {
        decimals = 40;
    }
    // The largest double has 309 integer digits; room for sign, point and decimals.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return {};
    }
    return std::string(buffer, result.ptr);
}

std::string FormatPrintf(std::string_view format, double value)
{
    std::string prefix;
    std::string suffix;
    Conversion conv;
    if (!splitFormat(format, prefix, conv, suffix)) {
        return printC("%g", value);
    }
    std::string rebuilt = prefix + "%" + conv.flagsWidthPrecision;
    switch (conv.letter) {
    case 'd':
    case 'i':
        rebuilt += "ll";
        rebuilt += conv.letter;
        rebuilt += suffix;
        return printC(rebuilt, static_cast<long long>(SaturateToInt64(value)));
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        // Negative values have no unsigned form; they saturate to 0.
        const std::int64_t whole = SaturateToInt64(value);
        const unsigned long long u = whole < 0 ? 0ULL : static_cast<unsigned long long>(whole);
        rebuilt += "ll";
        rebuilt += conv.letter;
        rebuilt += suffix;
        return printC(rebuilt, u);
    }
    default:
        rebuilt += conv.letter;
        rebuilt += suffix;
        return printC(rebuilt, value);
    }
}

}  // namespace numtext
