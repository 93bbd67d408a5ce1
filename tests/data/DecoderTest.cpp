#include "data/FormatConverter.h"
#include "data/NumberText.h"
#include "data/ParameterDecoder.h"
#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

CDerivedParameterDecoder decoder(std::int32_t kind, double a, double b = 0.0, std::vector<std::int32_t> table = {},
                                 std::string format = "%d")
{
    return CDerivedParameterDecoder(
        std::make_unique<ParameterRecord>(ParameterRecord{kind, a, b, std::move(table), std::move(format), 0}));
}

TEST(ParameterDecoder, ConvertsBothWaysByKind)
{
    struct Case { std::int32_t kind; double a, b, raw, shown; };
    const Case cases[] = {
        {0, 0, 0, 123.5, 123.5}, {1, 240, 0, 120, 50},  // duty in percent of 240
        {2, 240, 0, 60, 75},                             // inverted percent
        {3, 10, 0, 7, 70},       {4, 1000, 0, 2500, 2.5},
        {5, 3.3, 4096, 4096, 3.3},  // converter counts to volts
    };
    for (const Case& c : cases) {
        const auto d = decoder(c.kind, c.a, c.b);
        EXPECT_DOUBLE_EQ(d.Decode(c.raw), c.shown) << "kind " << c.kind;
        EXPECT_DOUBLE_EQ(d.Encode(c.shown), c.raw) << "kind " << c.kind;
    }
    EXPECT_EQ(decoder(5, 3.3, 4096, {}, "%#.3lf").FormatDecoded(2048), "1.650");

    // Tables look up by index, and back by the smallest index.
    // Values no integer can hold find no entry, without undefined conversions; NaN reads as index 0.
    const auto d = decoder(6, 0, 0, {5, 10, 10});
    EXPECT_EQ((std::vector{d.Decode(1.9), d.Decode(7), d.Decode(-1), d.Decode(std::nan("")), d.Decode(1e300)}),
              (std::vector{10.0, 0.0, 0.0, 5.0, 0.0}));
    EXPECT_EQ((std::vector{d.Encode(10.7), d.Encode(6), d.Encode(-kInf)}), (std::vector{1.0, 0.0, 0.0}));
    // A value past an end is held at that end: the smallest index of the largest (or
    // smallest) entry, whichever way the table runs.
    EXPECT_EQ((std::vector{d.Encode(11), d.Encode(kInf), d.Encode(4), d.Encode(-1e300)}),
              (std::vector{1.0, 1.0, 0.0, 0.0}));
    const auto falling = decoder(6, 0, 0, {30, 20, 10});
    EXPECT_EQ((std::vector{falling.Encode(99999999), falling.Encode(9), falling.Encode(15), falling.Encode(20)}),
              (std::vector{0.0, 2.0, 0.0, 1.0}));
}

TEST(ParameterDecoder, ZeroScalesAndMissingRecordsGiveZero)
{
    EXPECT_EQ((std::vector{decoder(1, 0).Decode(5), decoder(3, 0).Encode(5), decoder(5, 1, 0).Decode(5),
                           decoder(5, 0, 1).Encode(5), decoder(7, 2, 2).Decode(5)}),
              std::vector<double>(5, 0.0));

    auto cleared = decoder(6, 0, 0, {7});
    EXPECT_EQ(cleared.SetParameter(nullptr), 0);
    EXPECT_EQ(cleared.Decode(0), 0.0);
    EXPECT_EQ(cleared.Encode(5), 0.0);
    EXPECT_EQ(cleared.GetFormat(), "");
}

TEST(NumberText, PrintfFormatsAreSafeForAnyValue)
{
    EXPECT_EQ((std::vector{numtext::FormatPrintf("%d", -12.9), numtext::FormatPrintf("%d", 1e300),
                           numtext::FormatPrintf("%d", std::nan("")), numtext::FormatPrintf("%x", -5)}),
              (std::vector<std::string>{"-12", "9223372036854775807", "0", "0"}));
    EXPECT_EQ(numtext::FormatPrintf("100%% at %5.1f V", 3.14159), "100% at   3.1 V");
    // Formats that would read a missing or wrong argument fall back to %g.
    for (const char* format : {"%d %d", "%s", "%n", "%*d", "no number", "%99999d", "%"}) {
        EXPECT_EQ(numtext::FormatPrintf(format, 2.5), "2.5") << format;
    }
}

namespace {

// Switches LC_NUMERIC to a locale with a decimal comma: an installed one, or one built
// into a temporary folder from the system's locale sources when those are present.
bool UseDecimalCommaLocale(const std::filesystem::path& scratch)
{
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) return true;
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return false;
    const std::string built = (scratch / "de_DE.UTF-8").string();
    const std::string command = "localedef -i de_DE -f UTF-8 '" + built + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    ::setenv("LOCPATH", scratch.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

}  // namespace

TEST(NumberText, TextIsCLocaleWhateverTheProcessLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    TempDir scratch;
    const bool haveComma = UseDecimalCommaLocale(scratch.path());
    EXPECT_EQ(std::localeconv()->decimal_point, std::string(haveComma ? "," : "."));
    EXPECT_EQ(numtext::FormatPrintf("%.2f", 1.5), "1.50");
    EXPECT_EQ(numtext::ParseLeadingDouble("1.25"), 1.25);
    EXPECT_EQ(numtext::FormatFixed(1.5, 6), "1.500000");
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!haveComma) GTEST_SKIP() << "no locale with a decimal comma installed; checked in the C locale only";
}

TEST(NumberText, ParsingAndSaturation)
{
    std::size_t used = 0;
    EXPECT_EQ(numtext::ParseLeadingDouble("  -2.5e1)", &used), -25.0);
    EXPECT_EQ(used, 8u);
    EXPECT_TRUE(std::isinf(numtext::ParseLeadingDouble("1e999")));
    EXPECT_EQ(numtext::ParseLeadingInteger("99999999999999999999", 10), INT64_MAX);
    EXPECT_EQ(numtext::ParseLeadingInteger("12", 99), 0);
    EXPECT_EQ((std::vector{numtext::SaturateToInt32(kInf), numtext::SaturateToInt32(-kInf), numtext::SaturateToInt32(std::nan(""))}),
              (std::vector{INT32_MAX, INT32_MIN, 0}));
    EXPECT_EQ(numtext::SaturateToUInt32(5e9), 0xFFFFFFFFu);
    EXPECT_EQ(numtext::SaturateToInt64(-9.3e18), INT64_MIN);
}

TEST(ViewConverters, HexadecimalWidthsAndTheWholeWord)
{
    CBCDConverter hex;
    for (auto [value, digits, text] : {std::tuple{0x1Fu, 0, "1F"}, {0x1Fu, 4, "001F"}, {0x12345u, 2, "12345"}, {0xFFFFFFFFu, 8, "FFFFFFFF"}})
        EXPECT_STREQ(hex.Format(value, digits), text);
    // 32 digits at most: any count stays inside the buffer.
    EXPECT_EQ(std::string(hex.Format(0xAB, 1000)), std::string(30, '0') + "AB");

    // Beyond 32 bits saturates; only the first 32 characters count.
    EXPECT_EQ((std::vector{hex.Parse("FFFFFFFF"), hex.Parse("  0x7f zz"), hex.Parse("123456789"), hex.Parse(std::string(31, '0') + "12")}),
              (std::vector{0xFFFFFFFFu, 0x7Fu, 0xFFFFFFFFu, 0x1u}));
}

TEST(ViewConverters, BinaryWidthsAndParsing)
{
    CBinaryConverter bin;
    // At most 16 digits.
    for (auto [value, digits, text] : {std::tuple{5u, 0, "00000101"}, {0x1FFu, 8, "11111111"}, {0xFFFF8001u, 16, "1000000000000001"},
                                       {0xFFFFFFFFu, 40, "1111111111111111"}})
        EXPECT_STREQ(bin.Format(value, digits), text);
    // Every character but '0' is a one; only the first 16 characters count.
    EXPECT_EQ(bin.Parse("1x0"), 6u);
    EXPECT_EQ(bin.Parse(std::string(20, '1')), 0xFFFFu);

    EXPECT_STREQ(CViewConverterFactory::GetInstance().CreateConverter("binary")->Format(3, 0), "00000011");
    EXPECT_EQ(CViewConverterFactory::GetInstance().CreateConverter("Hex"), nullptr);
}

}  // namespace
