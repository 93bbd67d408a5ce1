// View converters: a value written as fixed-width hexadecimal or binary
// digits, and such text read back. The value labels of the XML surfaces
// choose one by their "gui_format" word.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class IFormatConverter {
public:
    virtual ~IFormatConverter() = default;

    // Reads a text back into a value, keeps both and returns the value.
    virtual std::uint32_t Parse(std::string_view text) = 0;
    // Writes the value with at least `digits` digits; the text stays valid
    // until the converter's next call.
    virtual const char* Format(std::uint32_t value, int digits) = 0;
};

// Upper-case hexadecimal; the "hex" and "bcd" views both use it.
class CBCDConverter final : public IFormatConverter {
public:
    static constexpr int kBufferChars = 32;  // digits the text can hold
    static constexpr int kDefaultDigits = 2;

    // Hexadecimal digits with an optional "0x" prefix, as far as they go; the
    // whole 32-bit range reads back ("FFFFFFFF" is 0xFFFFFFFF), larger
    // numbers saturate, a leading '-' negates modulo 2^32, no digits give 0.
    // Only the first 32 characters are read.
    std::uint32_t Parse(std::string_view text) override;
    // Digits below 1 become 2; more than 32 become 32. A value with more
    // digits than asked for keeps all of them.
    const char* Format(std::uint32_t value, int digits) override;

private:
    std::array<char, kBufferChars + 1> text_{};
    std::uint32_t value_ = 0;
};

// Binary digits, most significant first, at most 16.
class CBinaryConverter final : public IFormatConverter {
public:
    static constexpr int kBufferChars = 32;
    static constexpr int kMaxBits = 16;
    static constexpr int kDefaultDigits = 8;

    // Reads the first 16 characters at most; every character other than '0'
    // is a 1 bit.
    std::uint32_t Parse(std::string_view text) override;
    // The low `digits` bits (below 1 become 8, above 16 become 16).
    const char* Format(std::uint32_t value, int digits) override;

private:
    std::array<char, kBufferChars + 1> text_{};
    std::uint32_t value_ = 0;
};

// Makes converters by view name; one per process.
class CViewConverterFactory {
public:
    static CViewConverterFactory& GetInstance();

    // "binary" gives a binary converter, "hex" and "bcd" a hexadecimal one;
    // any other name gives none.
    std::unique_ptr<IFormatConverter> CreateConverter(std::string_view viewName) const;

    CViewConverterFactory(const CViewConverterFactory&) = delete;
    CViewConverterFactory& operator=(const CViewConverterFactory&) = delete;

private:
    enum Kind { kBinary = 1, kHex = 2, kBcd = 3 };

    CViewConverterFactory();

    std::map<std::string, int, std::less<>> kinds_;
};
