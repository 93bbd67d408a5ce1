#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "SpeedTestSupport.h"
#include "ui/Tachometer.h"

using gui::blueOf;
using gui::greenOf;
using gui::redOf;

TEST(DialScale, HugeMaximaStayDefined) {
    const auto capped = tachometer::LayoutFor(INT32_MAX).fullScale;
    EXPECT_GT(capped, 0) << capped;
    EXPECT_LE(capped, 2 * tachometer::kMaxMaximum) << capped;
    EXPECT_EQ(tachometer::NeedleGeometry(500, 0, 240, 100, 300, 150).angle, 0.0);
}

TEST(DialScale, StepsAndSweepsFollowTheMaximum) {
    struct Row {
        std::int32_t maximum, fullScale, sweep, minorStep;
    };
    const Row rows[] = {{-10, 10, 180, 1},   {15, 30, 180, 1},      {21, 40, 180, 2},         {200, 210, 270, 2},
                        {201, 400, 180, 20}, {2000, 2100, 270, 20}, {23000, 24000, 285, 200}, {15000, 16000, 240, 200}};
    for (const Row& r : rows) {
        const tachometer::ScaleLayout l = tachometer::LayoutFor(r.maximum);
        EXPECT_EQ((std::tuple{l.fullScale, l.sweep, l.minorStep}), (std::tuple{r.fullScale, r.sweep, r.minorStep}))
            << r.maximum;
    }
    // From 6 divisions on, every third adds 15 degrees, up to 315.
    for (int n = 6, sweep = 195; n <= 33; n += 3, sweep = std::min(sweep + 15, 315))
        EXPECT_EQ(tachometer::LayoutFor((n - 1) * 1000).sweep, sweep) << n;
}

// The needle runs half its allowance past the full scale into the red zone and stops there:
// the rpm dial (allowance 1000) at 16500 of 16000, the pps dial (100) at 450 of 400.
TEST(DialScale, TheNeedleStopsHalfItsAllowanceBeyondTheFullScale) {
    const auto angle = [](std::int32_t value, std::int32_t full, std::int32_t sweep, std::int32_t allowance) {
        return tachometer::NeedleGeometry(value, full, sweep, allowance, 300, 150).angle;
    };
    EXPECT_EQ(
        (std::vector{angle(16000, 16000, 240, 1000), angle(16400, 16000, 240, 1000), angle(16500, 16000, 240, 1000),
                     angle(16501, 16000, 240, 1000), angle(INT32_MAX, 16000, 240, 1000)}),
        (std::vector{240.0, 246.0, 247.5, 247.5, 247.5}));
    EXPECT_EQ((std::vector{angle(449, 400, 180, 100), angle(450, 400, 180, 100), angle(1000, 400, 180, 100)}),
              (std::vector{202.05, 202.5, 202.5}));
}

class NeedleDial : public ::testing::Test {
protected:
    void SetUp() override {
        dial.Create(0, 300);
        dial.SetFullScale(15000);
    }
    CTachometerFull dial{QStringLiteral("rpm"), 1000};
};

TEST_F(NeedleDial, ComposesTheScaleAndTheNeedleWithAnExactAnd) {
    const gui::Bitmap& scale = dial.Scale().Image();
    const gui::Bitmap& needle = dial.Needle().Image();
    const gui::Bitmap& shown = dial.Image();
    // Also after earlier needles and a scale change.
    for (const int value : {3000, 12000, 0, 16400, 8000}) {
        if (value == 0) dial.SetScaleMaximum(15000);
        dial.SetValue(value);
        int mismatches = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                mismatches += shown.pixel(x, y) != (scale.pixel(x, y) & needle.pixel(x, y)) ? 1 : 0;
        EXPECT_EQ(mismatches, 0) << value;
        EXPECT_TRUE(speedtest::SavePng(shown.image(), QStringLiteral("tachometer_rpm_%1").arg(value)));
    }

    // 8000 of 16000 over 240 degrees: 105 degrees.
    const QPoint on = tachometer::PolarPoint(150, 100, 105.0 / 180 * tachometer::kPi);
    const gui::ColourRef c = shown.pixel(on.x(), on.y());
    EXPECT_GE(redOf(c), 200) << c;
    EXPECT_LE(greenOf(c), 80) << c;
    EXPECT_LE(blueOf(c), 80) << c;
    EXPECT_EQ(shown.pixel(300 - on.x(), on.y()), 0xFFFFFFu);
}

TEST_F(NeedleDial, TicksBeyondTheMaximumAreRed) {
    const gui::Bitmap& scale = dial.Scale().Image();
    // 16000 at -15 degrees.
    const QPoint red = tachometer::PolarPoint(150, 137, -15.0 / 180 * tachometer::kPi);
    const gui::ColourRef r = scale.pixel(red.x(), red.y());
    EXPECT_GT(redOf(r), greenOf(r) + 100);
    // 15000 at 0 degrees: grey.
    for (const int x : {282, 287, 292}) EXPECT_EQ(scale.pixel(x, 150), 0xC0C0C0u) << x;
}

TEST_F(NeedleDial, AScaleSetAgainLooksAsWhenItWasDrawnAfresh) {
    // The same maximum again leaves the dial as it is; another one redraws it, also
    // back to a maximum it showed before.
    dial.SetValue(9000);
    for (const std::int32_t maximum : {15000, 15500, 3000, 15000, 15000}) {
        dial.SetFullScale(maximum);
        CTachometerFull fresh{QStringLiteral("rpm"), 1000};
        fresh.Create(0, 300);
        fresh.SetFullScale(maximum);
        fresh.SetValue(9000);
        EXPECT_TRUE(dial.Scale().ShowsLayout(tachometer::LayoutFor(maximum))) << maximum;
        EXPECT_EQ(dial.Scale().Image().image(), fresh.Scale().Image().image()) << "scale for maximum " << maximum;
        EXPECT_EQ(dial.Image().image(), fresh.Image().image()) << "dial for maximum " << maximum;
    }
    // A made dial draws its scale only when it is first composed.
    CTachometerFull unseen{QStringLiteral("rpm"), 1000};
    unseen.Create(0, 300);
    EXPECT_FALSE(unseen.Scale().ShowsLayout(tachometer::LayoutFor(0)));
    unseen.SetFullScale(15000);
    EXPECT_TRUE(unseen.Scale().ShowsLayout(tachometer::LayoutFor(15000)));

    // A bitmap made again is black: the next maximum draws, even the one shown before.
    CTachometer_Scale scale(QStringLiteral("pps"), 100);
    scale.Create(0, 300, 300);
    scale.SetMaximum(2000);
    EXPECT_EQ(scale.Image().pixel(0, 0), 0xFFFFFFu);
    scale.Create(0, 300, 300);
    EXPECT_FALSE(scale.ShowsLayout(tachometer::LayoutFor(2000)));
    scale.SetMaximum(2000);
    EXPECT_EQ(scale.Image().pixel(0, 0), 0xFFFFFFu);
}

// A dial kept out of sight makes no images; whatever it was told meanwhile (a scale,
// values) shows as one drawing when it is refreshed or next given a value, exactly as a
// dial told the same in sight.
TEST(HiddenDial, DrawsWhatItWasToldWhenItIsNextLookedAt) {
    const auto seen = [](std::int32_t maximum, std::int32_t value) {
        auto d = std::make_unique<CTachometerFull>(QStringLiteral("pps"), 100);
        d->Create(0, 300);
        d->SetFullScale(maximum);
        d->SetValue(value);
        return d;
    };
    CTachometerFull hidden{QStringLiteral("pps"), 100};
    hidden.Create(0, 300);
    hidden.SetFullScaleLater(15000);
    hidden.SetFullScaleLater(2000);
    hidden.SetValueLater(1700);
    EXPECT_TRUE(hidden.Image().isNull());
    EXPECT_FALSE(hidden.Shows(1700));
    hidden.Refresh();
    EXPECT_EQ(hidden.Image().image(), seen(2000, 1700)->Image().image());
    EXPECT_TRUE(hidden.Shows(1700));

    // A value given directly to a dial with a scale kept for later draws both.
    hidden.SetFullScaleLater(500);
    hidden.SetValue(420);
    EXPECT_EQ(hidden.Image().image(), seen(500, 420)->Image().image());
    EXPECT_EQ(hidden.Scale().GetFullScale(), tachometer::LayoutFor(500).fullScale);
}
