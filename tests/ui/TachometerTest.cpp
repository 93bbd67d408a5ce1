// Tachometer images: the dial's step, full scale and sweep, the needle's end points,
// the red zone, the AND composition, the digital readout, and renders for a look.
#include <gtest/gtest.h>

#include "SpeedTestSupport.h"
#include "ui/Tachometer.h"

using speedtest::Blue;
using speedtest::Green;
using speedtest::Red;

TEST(DialScale, StepFullScaleAndSweepFollowTheMaximum)
{
    struct Row {
        std::int32_t maximum, step, fullScale, sweep, minorStep;
    };
    const Row rows[] = {
        {0, 10, 10, 180, 1},       {15, 10, 30, 180, 1},     {20, 10, 30, 180, 1},
        {21, 10, 40, 180, 2},      {200, 10, 210, 270, 2},   {201, 100, 400, 180, 20},
        {2000, 100, 2100, 270, 20}, {15000, 1000, 16000, 240, 200}, {30000, 1000, 31000, 315, 200},
        {-10, 10, 10, 180, 1},  // a negative maximum behaves as 0
    };
    for (const Row& r : rows) {
        const tachometer::ScaleLayout l = tachometer::LayoutFor(r.maximum);
        EXPECT_EQ(l.step, r.step) << r.maximum;
        EXPECT_EQ(l.fullScale, r.fullScale) << r.maximum;
        EXPECT_EQ(l.sweep, r.sweep) << r.maximum;
        EXPECT_EQ(l.minorStep, r.minorStep) << r.maximum;
    }
    // Huge maxima are capped, so the full scale neither overflows nor needs millions of ticks.
    EXPECT_GT(tachometer::LayoutFor(INT32_MAX).fullScale, 0);
    EXPECT_LE(tachometer::LayoutFor(INT32_MAX).fullScale, 2 * tachometer::kMaxMaximum);
}

TEST(Needle, EndPointsForGivenSpeeds)
{
    // Dial size 300 (radius 150), full scale 16000 over 240 degrees, overshoot 1000.
    struct Row {
        std::int32_t value;
        double angle;
        QPoint p0, p1, p2;
    };
    const Row rows[] = {
        {0, 0, {47, 259}, {40, 252}, {153, 153}},
        {8000, 120, {106, 6}, {116, 3}, {145, 151}},
        {16000, 240, {296, 183}, {293, 193}, {151, 145}},
        {20000, 247.5, {290, 202}, {286, 212}, {151, 145}},  // stops N/2 beyond the full scale
    };
    for (const Row& r : rows) {
        const tachometer::NeedlePoints n = tachometer::NeedleGeometry(r.value, 16000, 240, 1000, 300, 150);
        EXPECT_DOUBLE_EQ(n.angle, r.angle) << r.value;
        EXPECT_EQ(n.p0, r.p0) << r.value;
        EXPECT_EQ(n.p1, r.p1) << r.value;
        EXPECT_EQ(n.p2, r.p2) << r.value;
    }
    // No full scale to divide by: the needle rests at zero.
    EXPECT_EQ(tachometer::NeedleGeometry(500, 0, 240, 100, 300, 150).angle, 0.0);
}

class NeedleDial : public ::testing::Test {
protected:
    void SetUp() override
    {
        dial.Create(0, 300);
        dial.SetFullScale(15000);
    }
    CTachometerFull dial{QStringLiteral("rpm"), 1000};
};

TEST_F(NeedleDial, ComposesTheScaleAndTheNeedleWithAnExactAnd)
{
    const gui::Bitmap& scale = dial.Scale().Image();
    const gui::Bitmap& needle = dial.Needle().Image();
    const gui::Bitmap& shown = dial.Image();
    // Each composition equals the whole scale ANDed with the whole needle image, also
    // after earlier needles and a scale change (only the needle's box is redone).
    for (const int value : {3000, 12000, 0, 16400, 8000}) {
        if (value == 0) dial.SetScaleMaximum(15000);
        dial.SetValue(value);
        int mismatches = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x) mismatches += shown.pixel(x, y) != (scale.pixel(x, y) & needle.pixel(x, y)) ? 1 : 0;
        EXPECT_EQ(mismatches, 0) << value;
    }

    // 8000 of 16000 over 240 degrees: the needle points at 105 degrees. 100 px out
    // along it the picture is the needle's red; mirrored across the vertical, white.
    const QPoint on = tachometer::PolarPoint(150, 100, 105.0 / 180 * tachometer::kPi);
    const gui::ColourRef c = shown.pixel(on.x(), on.y());
    EXPECT_GE(Red(c), 200);
    EXPECT_LE(Green(c), 80);
    EXPECT_LE(Blue(c), 80);
    EXPECT_EQ(shown.pixel(300 - on.x(), on.y()), 0xFFFFFFu);
}

TEST_F(NeedleDial, TicksBeyondTheMaximumAreRed)
{
    const gui::Bitmap& scale = dial.Scale().Image();
    // 16000 sits at -15 degrees: its tick runs from (290, 187) inwards.
    const QPoint red = tachometer::PolarPoint(150, 137, -15.0 / 180 * tachometer::kPi);
    const gui::ColourRef r = scale.pixel(red.x(), red.y());
    EXPECT_GT(Red(r), Green(r) + 100);
    // 15000 sits at 0 degrees: grey from (295, 150) to (280, 150).
    for (const int x : {282, 287, 292}) EXPECT_EQ(scale.pixel(x, 150), 0xC0C0C0u) << x;
    // A changed maximum without a needle redraw leaves the needle where it was.
    dial.SetValue(3000);
    const QImage needle = dial.Needle().Image().image().copy();
    dial.SetScaleMaximum(5000);
    EXPECT_EQ(dial.Needle().Image().image(), needle);
    EXPECT_EQ(dial.Scale().GetFullScale(), 6000);
}

TEST(DigitalReadout, ShowsBothValuesWithTheUnitAndComposesA270By40Part)
{
    EXPECT_EQ(CTachometer_DigitalScale::Format(80, 80, QStringLiteral("pps")),
              QStringLiteral(" 80 pps") + QString(20, QLatin1Char(' ')) + QStringLiteral("80 pps"));
    EXPECT_LE(CTachometer_DigitalScale::Format(INT32_MIN, INT32_MIN, QString(40, QLatin1Char('u'))).size(), 52);

    CTachometerDigitalFull display(QStringLiteral("pps"), 1000);
    display.Create(0, 300);
    display.SetValues(1234, 80);
    const gui::Bitmap& image = display.Image();
    const gui::Bitmap& scale = display.Display().Image();
    int differing = 0, orange = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 300; ++x) {
            const bool inside = x < 270 && y < 40;
            const gui::ColourRef expected = inside ? scale.pixel(x, y) : 0u;  // the rest stays black
            differing += image.pixel(x, y) != expected ? 1 : 0;
            orange += inside && Red(image.pixel(x, y)) > 200 && Blue(image.pixel(x, y)) < 100 && Green(image.pixel(x, y)) < 170 ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(orange, 50);
    EXPECT_TRUE(speedtest::SavePng(image, QStringLiteral("tachometer_digital_1234_80")));
}

TEST(TachometerRender, BothDialsAtSeveralSpeeds)
{
    CTachometerFull rpm(QStringLiteral("rpm"), 1000);
    rpm.Create(0, 300);
    rpm.SetFullScale(15000);
    for (const int v : {0, 3000, 8000, 15800}) {
        rpm.SetValue(v);
        EXPECT_TRUE(speedtest::SavePng(rpm.Image(), QStringLiteral("tachometer_rpm_%1").arg(v)));
    }
    CTachometerFull pps(QStringLiteral("pps"), 100);
    pps.Create(0, 300);
    pps.SetFullScale(1500);
    for (const int v : {120, 900, 1700}) {
        pps.SetValue(v);
        EXPECT_TRUE(speedtest::SavePng(pps.Image(), QStringLiteral("tachometer_pps_%1").arg(v)));
    }
}
