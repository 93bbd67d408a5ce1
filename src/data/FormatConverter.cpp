#include "data/FormatConverter.h"

#include <algorithm>
#include <cstring>

namespace {

// Copies at most the buffer's length of text and terminates it.
template <std::size_t N>
std::string_view keepText(std::array<char, N>& buffer, std::string_view text)
{
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(buffer.data(), text.data(), n);
    buffer[n] = '\0';
    return std::string_view(buffer.data(), n);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The leading hexadecimal number of a text (blanks, sign, optional "0x"),
// saturated to 32 bits; a '-' negates modulo 2^32 as a C cast of a negative
// long would.
std::uint32_t parseHex(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && hexDigit(s[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t magnitude = 0;
    for (; i < s.size() && hexDigit(s[i]) >= 0; ++i) {
        magnitude = std::min<std::uint64_t>(magnitude * 16 + static_cast<unsigned>(hexDigit(s[i])), 0xFFFFFFFFu);
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

}  // namespace

std::uint32_t CBCDConverter::Parse(std::string_view text)
{
    value_ = parseHex(keepText(text_, text));
    return value_;
}

const char* CBCDConverter::Format(std::uint32_t value, int digits)
{
    if (digits < 1) {
        digits = kDefaultDigits;
    }
    digits = std::min(digits, kBufferChars);
    static constexpr char kHex[] = "0123456789ABCDEF";
    char reversed[8];
    int n = 0;
    std::uint32_t v = value;
    do {
        reversed[n++] = kHex[v & 0xFu];
        v >>= 4;
    } while (v != 0);
    const int pad = std::max(digits - n, 0);  // at most 32 - 1
    char* out = text_.data();
    std::fill(out, out + pad, '0');
    for (int i = 0; i < n; ++i) {
        out[pad + i] = reversed[n - 1 - i];
    }
    out[pad + n] = '\0';  // pad + n <= 32: the buffer holds 33
    value_ = value;
    return text_.data();
}

std::uint32_t CBinaryConverter::Parse(std::string_view text)
{
    const std::string_view kept = keepText(text_, text);
    const std::size_t n = std::min<std::size_t>(kept.size(), kMaxBits);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (kept[i] != '0') {
            value |= 1u << (n - 1 - i);
        }
    }
    value_ = value;
    return value_;
}

const char* CBinaryConverter::Format(std::uint32_t value, int digits)
{
    if (digits < 1) {
        digits = kDefaultDigits;
    }
    const int width = std::min(digits, kMaxBits);
    text_.fill('\0');
    for (int i = 0; i < width; ++i) {
        const int bit = width - 1 - i;
        text_[static_cast<std::size_t>(i)] = ((value >> bit) & 1u) != 0 ? '1' : '0';
    }
    value_ = value;
    return text_.data();
}

CViewConverterFactory::CViewConverterFactory() : kinds_{{"binary", kBinary}, {"hex", kHex}, {"bcd", kBcd}} {}

CViewConverterFactory& CViewConverterFactory::GetInstance()
{
    static CViewConverterFactory instance;  // made on first use, thread-safe
    return instance;
}

std::unique_ptr<IFormatConverter> CViewConverterFactory::CreateConverter(std::string_view viewName) const
{
    const auto it = kinds_.find(viewName);
    if (it == kinds_.end()) {
        return nullptr;
    }
    switch (it->second) {
    case kBinary:
        return std::make_unique<CBinaryConverter>();
    case kHex:
    case kBcd:
        return std::make_unique<CBCDConverter>();
    default:
        return nullptr;
    }
}
