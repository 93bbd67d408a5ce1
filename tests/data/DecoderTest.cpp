#include "data/FormatConverter.h"
#include "data/NumberText.h"
#include "data/ParameterDecoder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

CDerivedParameterDecoder decoder(std::int32_t kind, double a, double b = 0.0, std::vector<std::int32_t> table = {},
                                 std::string format = "%d")
{
    auto record = std::make_unique<ParameterRecord>();
    record->kind = kind;
    record->a = a;
    record->b = b;
    record->table = std::move(table);
    record->format = std::move(format);
    return CDerivedParameterDecoder(std::move(record));
}

TEST(ParameterDecoder, ScalesBothWaysByKind)
{
    struct Case {
        std::int32_t kind;
        double a, b, raw, shown;
    };
    const Case cases[] = {
        {0, 0, 0, 123.5, 123.5},
        {1, 240, 0, 120, 50},        // duty in percent of 240
        {1, 256, 0, 64, 25},
        {2, 240, 0, 60, 75},         // inverted percent
        {3, 10, 0, 7, 70},
        {4, 1000, 0, 2500, 2.5},
        {5, 3.3, 4096, 4096, 3.3},   // converter counts to volts
        {5, 5.0, 256, 128, 2.5},
    };
    for (const Case& c : cases) {
        const auto d = decoder(c.kind, c.a, c.b);
        EXPECT_DOUBLE_EQ(d.Decode(c.raw), c.shown) << "kind " << c.kind;
        EXPECT_DOUBLE_EQ(d.Encode(c.shown), c.raw) << "kind " << c.kind;
    }
}

TEST(ParameterDecoder, TablesLookUpByIndexAndBackByTheSmallestIndex)
{
    const auto d = decoder(6, 0, 0, {5, 10, 10});
    EXPECT_EQ(d.Decode(1.9), 10.0);
    EXPECT_EQ(d.Decode(0), 5.0);
    EXPECT_EQ(d.Decode(7), 0.0);
    EXPECT_EQ(d.Decode(-1), 0.0);
    EXPECT_EQ(d.Encode(10), 1.0);
    EXPECT_EQ(d.Encode(10.7), 1.0);
    EXPECT_EQ(d.Encode(6), 0.0);
    // Values no integer can hold find no entry, without undefined conversions.
    EXPECT_EQ(d.Decode(std::nan("")), 5.0);  // NaN reads as index 0
    EXPECT_EQ(d.Decode(1e300), 0.0);
    EXPECT_EQ(d.Encode(-std::numeric_limits<double>::infinity()), 0.0);
}

TEST(ParameterDecoder, ZeroScalesAndMissingRecordsGiveZero)
{
    EXPECT_EQ(decoder(1, 0).Decode(5), 0.0);
    EXPECT_EQ(decoder(2, 0).Decode(5), 0.0);
    EXPECT_EQ(decoder(3, 0).Encode(5), 0.0);
    EXPECT_EQ(decoder(4, 0).Decode(5), 0.0);
    EXPECT_EQ(decoder(5, 1, 0).Decode(5), 0.0);
    EXPECT_EQ(decoder(5, 0, 1).Encode(5), 0.0);
    EXPECT_EQ(decoder(7, 2, 2).Decode(5), 0.0);
    EXPECT_EQ(decoder(-1, 2, 2).Encode(5), 0.0);

    CDerivedParameterDecoder none;
    EXPECT_EQ(none.SetParameter(nullptr), 0);
    EXPECT_EQ(none.Decode(5), 0.0);
    EXPECT_EQ(none.Encode(5), 0.0);
    EXPECT_EQ(none.GetFormat(), "");
}

TEST(ParameterDecoder, ANewRecordReplacesTheOldTable)
{
    auto d = decoder(6, 0, 0, {1, 2, 3});
    auto record = std::make_unique<ParameterRecord>();
    record->kind = 6;
    record->table = {7};
    record->format = "%#.2lf";
    EXPECT_EQ(d.SetParameter(std::move(record)), 1);
    EXPECT_EQ(d.Decode(2), 0.0);
    EXPECT_EQ(d.Decode(0), 7.0);
    EXPECT_EQ(d.GetFormat(), "%#.2lf");
    EXPECT_EQ(d.SetParameter(nullptr), 0);
    EXPECT_EQ(d.Decode(0), 0.0);
}

TEST(ParameterDecoder, FormatsTheShownValueWithItsFormat)
{
    EXPECT_EQ(decoder(1, 240, 0, {}, "%d").FormatDecoded(120), "50");
    EXPECT_EQ(decoder(4, 1000, 0, {}, "%#.2lf").FormatDecoded(2500), "2.50");
    EXPECT_EQ(decoder(4, 1000, 0, {}, "%.lf").FormatDecoded(2500), "2");
    EXPECT_EQ(decoder(5, 3.3, 4096, {}, "%#.3lf").FormatDecoded(2048), "1.650");
}

TEST(NumberText, PrintfFormatsAreSafeForAnyValue)
{
    EXPECT_EQ(numtext::FormatPrintf("%d", 12.9), "12");
    EXPECT_EQ(numtext::FormatPrintf("%d", -12.9), "-12");
    EXPECT_EQ(numtext::FormatPrintf("%d", 1e300), "9223372036854775807");
    EXPECT_EQ(numtext::FormatPrintf("%d", std::nan("")), "0");
    EXPECT_EQ(numtext::FormatPrintf("%08X", 255), "000000FF");
    EXPECT_EQ(numtext::FormatPrintf("%x", -5), "0");
    EXPECT_EQ(numtext::FormatPrintf("%5.1f V", 3.14159), "  3.1 V");
    EXPECT_EQ(numtext::FormatPrintf("100%% at %d", 3), "100% at 3");
    EXPECT_EQ(numtext::FormatPrintf("%#.1lf", 1), "1.0");
    // Formats that would read a missing or wrong argument fall back to %g.
    EXPECT_EQ(numtext::FormatPrintf("%d %d", 2), "2");
    EXPECT_EQ(numtext::FormatPrintf("%s", 2.5), "2.5");
    EXPECT_EQ(numtext::FormatPrintf("%n", 2.5), "2.5");
    EXPECT_EQ(numtext::FormatPrintf("%*d", 2.5), "2.5");
    EXPECT_EQ(numtext::FormatPrintf("no number", 2.5), "2.5");
    EXPECT_EQ(numtext::FormatPrintf("%99999d", 2.5), "2.5");
    EXPECT_EQ(numtext::FormatPrintf("%", 2.5), "2.5");
}

TEST(NumberText, TextIsCLocaleWhateverTheProcessLocale)
{
    // A locale with a decimal comma, when the system has one.
    const char* const previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    const bool haveComma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
                           std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr;
    EXPECT_EQ(numtext::FormatPrintf("%.2f", 1.5), "1.50");
    EXPECT_EQ(numtext::ParseLeadingDouble("1.25"), 1.25);
    EXPECT_EQ(numtext::FormatFixed(1.5, 6), "1.500000");
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!haveComma) {
        GTEST_SKIP() << "no locale with a decimal comma installed; checked in the C locale only";
    }
}

TEST(NumberText, ParsingAndSaturation)
{
    std::size_t used = 0;
    EXPECT_EQ(numtext::ParseLeadingDouble("  -2.5e1)", &used), -25.0);
    EXPECT_EQ(used, 8u);
    EXPECT_EQ(numtext::ParseLeadingDouble("abc", &used), 0.0);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(numtext::ParseLeadingDouble("0x10"), 16.0);
    EXPECT_TRUE(std::isinf(numtext::ParseLeadingDouble("1e999")));
    EXPECT_EQ(numtext::ParseLeadingInteger("0x1A", 16), 26);
    EXPECT_EQ(numtext::ParseLeadingInteger("99999999999999999999", 10), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(numtext::ParseLeadingInteger("12", 99), 0);

    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(numtext::SaturateToInt32(inf), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(numtext::SaturateToInt32(-inf), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(numtext::SaturateToInt32(std::nan("")), 0);
    EXPECT_EQ(numtext::SaturateToInt32(-2.9), -2);
    EXPECT_EQ(numtext::SaturateToUInt32(-1.0), 0u);
    EXPECT_EQ(numtext::SaturateToUInt32(4294967295.5), 0xFFFFFFFFu);
    EXPECT_EQ(numtext::SaturateToUInt32(5e9), 0xFFFFFFFFu);
    EXPECT_EQ(numtext::SaturateToInt64(9.3e18), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(numtext::SaturateToInt64(-9.3e18), std::numeric_limits<std::int64_t>::min());
}

TEST(ViewConverters, HexadecimalWidths)
{
    CBCDConverter hex;
    EXPECT_STREQ(hex.Format(0x1F, 0), "1F");
    EXPECT_STREQ(hex.Format(0x1F, 4), "001F");
    EXPECT_STREQ(hex.Format(0x12345, 2), "12345");
    EXPECT_STREQ(hex.Format(0, -7), "00");
    EXPECT_STREQ(hex.Format(0xFFFFFFFF, 8), "FFFFFFFF");
    // Any digit count stays inside the buffer: 32 digits at most.
    EXPECT_EQ(std::string(hex.Format(0xAB, 1000)), std::string(30, '0') + "AB");
    EXPECT_EQ(std::string(hex.Format(0xAB, 33)).size(), 32u);
}

TEST(ViewConverters, HexadecimalParsingCoversTheWholeWord)
{
    CBCDConverter hex;
    EXPECT_EQ(hex.Parse("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(hex.Parse("80000000"), 0x80000000u);
    EXPECT_EQ(hex.Parse("1f"), 0x1Fu);
    EXPECT_EQ(hex.Parse("0x1A"), 0x1Au);
    EXPECT_EQ(hex.Parse("  7F zz"), 0x7Fu);
    EXPECT_EQ(hex.Parse("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(hex.Parse("123456789"), 0xFFFFFFFFu);  // beyond 32 bits saturates
    EXPECT_EQ(hex.Parse("xyz"), 0u);
    EXPECT_EQ(hex.Parse(""), 0u);
    // Only the first 32 characters are read.
    EXPECT_EQ(hex.Parse(std::string(31, '0') + "12"), 0x1u);
}

TEST(ViewConverters, BinaryWidthsAndParsing)
{
    CBinaryConverter bin;
    EXPECT_STREQ(bin.Format(5, 0), "00000101");
    EXPECT_STREQ(bin.Format(5, 4), "0101");
    EXPECT_STREQ(bin.Format(0x1FF, 8), "11111111");
    EXPECT_STREQ(bin.Format(0xFFFF8001, 16), "1000000000000001");
    EXPECT_STREQ(bin.Format(0xFFFFFFFF, 40), "1111111111111111");  // at most 16 digits
    EXPECT_EQ(bin.Parse("101"), 5u);
    EXPECT_EQ(bin.Parse("1x0"), 6u);  // every character but '0' is a one
    EXPECT_EQ(bin.Parse(""), 0u);
    EXPECT_EQ(bin.Parse(std::string(20, '1')), 0xFFFFu);  // the first 16 characters
}

TEST(ViewConverters, FactoryMakesConvertersByViewName)
{
    CViewConverterFactory& factory = CViewConverterFactory::GetInstance();
    EXPECT_EQ(&factory, &CViewConverterFactory::GetInstance());

    auto binary = factory.CreateConverter("binary");
    ASSERT_NE(binary, nullptr);
    EXPECT_STREQ(binary->Format(3, 0), "00000011");
    for (const char* name : {"hex", "bcd"}) {
        auto hex = factory.CreateConverter(name);
        ASSERT_NE(hex, nullptr) << name;
        EXPECT_STREQ(hex->Format(0x2A, 0), "2A") << name;
    }
    EXPECT_EQ(factory.CreateConverter("volt"), nullptr);
    EXPECT_EQ(factory.CreateConverter("Hex"), nullptr);
    EXPECT_EQ(factory.CreateConverter(""), nullptr);
}

}  // namespace
