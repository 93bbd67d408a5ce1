// The number and format converters: the hexadecimal and binary views of the surfaces'
// value labels, and the C-locale number text the formulas, surfaces and pages read and
// print. The first byte chooses the converter; the rest is its text, value and width.
// Invariants: a value written by a view converter reads back as the same value (the
// binary view: its low 16 bits at most), reading a text twice gives the same value,
// a fixed-point text read back and written again is the same text, a printf format
// from a surface never runs past its conversion, and saturating conversions stay in range.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "FuzzSupport.h"
#include "data/FormatConverter.h"
#include "data/NumberText.h"

namespace {

template <class T>
T Take(const std::uint8_t*& data, std::size_t& size) {
    T v{};
    const std::size_t n = std::min(size, sizeof v);
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t kind = *data++;
    --size;
    switch (kind % 4) {
        case 0: {  // hexadecimal view
            const auto value = Take<std::uint32_t>(data, size);
            const auto digits = static_cast<int>(Take<std::int8_t>(data, size));
            CBCDConverter hex;
            const std::string written = hex.Format(value, digits);
            FUZZ_EXPECT(hex.Parse(written) == value, "0x%X written as \"%s\" reads back as 0x%X", value, written.c_str(),
                        hex.Parse(written));
            FUZZ_EXPECT(written.size() <= CBCDConverter::kBufferChars, "%zu characters", written.size());
            const std::uint32_t read = hex.Parse(fuzz::Text(data, size));
            FUZZ_EXPECT(hex.Parse(fuzz::Text(data, size)) == read, "a text read twice differs");
            break;
        }
        case 1: {  // binary view
            const auto value = Take<std::uint32_t>(data, size);
            const auto digits = static_cast<int>(Take<std::int8_t>(data, size));
            CBinaryConverter bin;
            const std::string written = bin.Format(value, digits);
            const int width = digits < 1 ? CBinaryConverter::kDefaultDigits : std::min(digits, CBinaryConverter::kMaxBits);
            const std::uint32_t mask = (1u << width) - 1u;
            FUZZ_EXPECT(written.size() == static_cast<std::size_t>(width) && bin.Parse(written) == (value & mask),
                        "0x%X in %d digits written as \"%s\" reads back as 0x%X", value, digits, written.c_str(),
                        bin.Parse(written));
            FUZZ_EXPECT(bin.Parse(fuzz::Text(data, size)) <= 0xFFFFu, "more than 16 bits from a binary text");
            if (auto view = CViewConverterFactory::GetInstance().CreateConverter(fuzz::Text(data, size))) {
                view->Parse(view->Format(value, digits));
            }
            break;
        }
        case 2: {  // number text read and fixed-point text written
            const auto decimals = static_cast<int>(Take<std::uint8_t>(data, size) % 48);
            const std::string_view text = fuzz::Text(data, size);
            std::size_t used = 0;
            const double v = numtext::ParseLeadingDouble(text, &used);
            FUZZ_EXPECT(used <= text.size(), "%zu characters used of %zu", used, text.size());
            FUZZ_EXPECT(used > 0 || v == 0.0, "%.17g read from no number", v);
            const std::int64_t hex = numtext::ParseLeadingInteger(text, 16);
            FUZZ_EXPECT(numtext::ParseLeadingInteger(text, 16) == hex, "an integer read twice differs");
            (void)numtext::ParseLeadingInteger(text, 10);
            if (std::isfinite(v) && std::fabs(v) < 1e15) {
                const std::string fixed = numtext::FormatFixed(v, decimals);
                const std::string again = numtext::FormatFixed(numtext::ParseLeadingDouble(fixed), decimals);
                FUZZ_EXPECT(again == fixed, "\"%s\" reads back and prints as \"%s\"", fixed.c_str(), again.c_str());
            }
            const std::int32_t i32 = numtext::SaturateToInt32(v);
            FUZZ_EXPECT(!std::isnan(v) || i32 == 0, "NaN saturates to %d", i32);
            (void)numtext::SaturateToInt64(v);
            (void)numtext::SaturateToUInt32(v);
            break;
        }
        default: {  // a printf format from a surface with a value
            const auto value = Take<double>(data, size);
            const std::string printed = numtext::FormatPrintf(fuzz::Text(data, size), value);
            FUZZ_EXPECT(printed.size() <= size + 4096, "%zu characters printed from a %zu-character format",
                        printed.size(), size);
            break;
        }
    }
    return 0;
}
