#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "SpeedTestSupport.h"
#include "platform/core/Debug.h"
#include "ui/Graph.h"

namespace {

constexpr gui::ColourRef kWhite = 0xFFFFFF;
constexpr gui::ColourRef kGrid = 0xA0A0A0;
constexpr gui::ColourRef kTick = 0x606060;
constexpr gui::ColourRef kCurve = 0x0000C0;

const gui::Bitmap& SeriesImage(CDerivedGraphLabel& g, int channel)
{
    return *SurfaceOf(g.Series(channel)->GetCanvas());
}

struct Shape {
    int channel, kind;
    gui::ColourRef line, fill = 0;
};

void Build(CDerivedGraphLabel& g, int w, int h, std::initializer_list<Shape> shapes)
{
    ASSERT_TRUE(g.BuildGraph(w, h));
    int mask = 0;
    for (const Shape& s : shapes) {
        ASSERT_EQ(g.SetSeriesShape(s.channel, s.kind, s.line, s.fill), 1);
        mask |= 1 << (s.channel - 1);
    }
    g.SetChannelMask(mask);
}

}  // namespace

TEST(PixelDecoder, RefusesNoPixelsOrRangeAndRewritesZeroDivisions)
{
    platform::DebugCapture debug;
    CRangeRecord r{0, 100, 0};
    CDerivedPixelDecoder d;
    EXPECT_EQ(d.Init(&r, 300, 1), 1);  // divisions (100 - 0) / 20: the grid below
    CDerivedPixelDecoder x;
    x.Init(&r, 500, 0);
    const double before = x.Scale();
    EXPECT_EQ((std::tuple{x.Init(&r, 0, 0), x.Scale(), x.Init(nullptr, 10, 0)}), (std::tuple{0, before, 0}));
    EXPECT_EQ((std::pair{debug.count("IDecoder::CDerivedPixelDecoder : Invalid pixel value\n"),
                        debug.count("IDecoder::CDerivedPixelDecoder : Invalid range_ptr value\n")}),
              (std::pair{std::size_t{1}, std::size_t{1}}));
    r.maximum = 8000;
    EXPECT_EQ((std::tuple{d.SetDivisions(0), r.divisions}), (std::tuple{1, 400})) << r.divisions;

    // Flat range: no division by zero; huge values clamp.
    CRangeRecord flat{500, 500, 0}, wide{0, 1, 0};
    EXPECT_EQ((std::tuple{x.Init(&flat, 180, 1), x.PixelToValue(30)}), (std::tuple{1, 500}));
    x.Init(&wide, 500, 0);
    EXPECT_EQ((std::pair{x.ValueToPixel(2e9), x.ValueToPixel(-2e9)}), (std::pair{graphaxes::kPixelLimit, -graphaxes::kPixelLimit}));
}

TEST(TickStep, FollowsTheTableAtItsEdgesAndNeverFallsToZero)
{
    const std::pair<int, int> rows[] = {{10, 1},     {20, 2},       {50, 5},       {100, 10},     {200, 20},
                                        {500, 50},   {1000, 100},   {2000, 200},   {5000, 500},   {10000, 1000},
                                        {20000, 2000}, {25000, 2500}, {30000, 3000}, {40000, 4000}, {INT32_MAX, 7}};
    int below = 0;
    for (const auto& [upTo, step] : rows) {
        EXPECT_EQ(graphaxes::TickStep(true, 0, below + 1, 7), step) << below + 1;
        EXPECT_EQ(graphaxes::TickStep(true, 0, upTo, 7), step) << upTo;
        below = upTo;
    }
    EXPECT_EQ(graphaxes::TickStep(false, 0, 100, -5), 1);
}

// Channel 1 over 0..100 (divisions 5) and 0..8000.
class GraphGeometry : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Build(graph, 600, 250, {{1, CDerivedGraphLabel::kLine, kCurve}})); }
    gui::ColourRef at(int x, int y) { return graph.Canvas()->pixel(x, y); }
    std::vector<gui::ColourRef> at(std::initializer_list<QPoint> points) { return guitest::Pixels(*graph.Canvas(), points); }
    CDerivedGraphLabel graph;
};

TEST_F(GraphGeometry, PartsLieWhereTheLayoutPutsThem)
{
    EXPECT_EQ((std::tuple{SurfaceOf(graph.Graph()->GetCanvas())->size(), graph.Axis(1, true)->GetOrigin(), SeriesImage(graph, 1).size()}),
              (std::tuple{QSize(600, 250), QPoint(45, 195), QSize(500, 181)}));

    // Axis line on row 195, x 76..575.
    EXPECT_EQ(at({{76, 195}, {575, 195}, {576, 195}}), (std::vector{kTick, kTick, kWhite}));
    // Ticks every 5 (25 px), rows 196..205.
    for (int x = 75; x <= 575; x += 25) EXPECT_EQ(at({{x, 196}, {x, 205}}), (std::vector{kTick, kTick})) << x;
    EXPECT_EQ(at(87, 196), kWhite);
    // Vertical ticks every 1000, columns 66..74, rows 15 + 180 - v * 180 / 8000.
    for (const int row : {195, 172, 150, 127, 105, 82, 60, 37, 15})
        EXPECT_EQ(at({{66, row}, {74, row}}), (std::vector{kTick, kTick})) << row;
    EXPECT_EQ(at(70, 100), kWhite);
    // Grid: graph x 100, row 172.
    EXPECT_EQ(at({{100, 100}, {87, 172}, {87, 100}}), (std::vector{kGrid, kGrid, kWhite}));
}

TEST_F(GraphGeometry, AWrappedTraceIsSplitSoTheNewestPointStandsAtTheRightEdge)
{
    const gui::Bitmap bare = *graph.Canvas();  // plot area and axes, no points
    for (int x = 0; x <= 100; x += 5) graph.AddPoint(1, x, 4000 + x * 20);
    EXPECT_TRUE(graph.Series(1)->IsWrapped());
    EXPECT_EQ(graph.Series(1)->Container()->GetCount(), 22u);  // 21 points and the restart
    graph.AddPoint(1, 5, 2000);
    const gui::Bitmap& series = SeriesImage(graph, 1);
    const gui::Bitmap& plot = *SurfaceOf(graph.Graph()->GetCanvas());
    graph.Canvas();
    // Plot AND series; series columns [25, 500) at graph x 75, [0, 25) at 550.
    int mismatches = 0;
    for (int sy = 0; sy < 180; ++sy) {
        for (int sx = 0; sx < 500; ++sx) {
            const int gx = sx >= 25 ? 75 + sx - 25 : 75 + 500 - 25 + sx;
            const gui::ColourRef expected = bare.pixel(gx, 15 + sy) & series.pixel(sx, sy);
            mismatches += plot.pixel(gx, 15 + sy) != expected ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The new point drawn, the old trace at (20, 87) erased.
    EXPECT_EQ((std::pair{series.pixel(25, graph.Axis(1, false)->GetDecoder()->ValueToPixel(2000)), series.pixel(20, 87)}),
              (std::pair{kCurve, kWhite}));
}

TEST_F(GraphGeometry, SweepNarrowsTheEraseStripToTheSmallestStep)
{
    CDerivedSeries* s = graph.Series(1);
    graph.AddPoint(1, 10, 100);
    graph.AddPoint(1, 20, 100);
    EXPECT_EQ(s->EraseWidth(), 10);
    graph.AddPoint(1, 30, 100);
    graph.AddPoint(1, 32, 100);
    EXPECT_EQ(s->EraseWidth(), 2);
    graph.ClearSeries();
    EXPECT_EQ(s->EraseWidth(), 5);  // back to the divisions
    EXPECT_EQ((std::tuple{s->Container()->GetCount(), s->IsWrapped()}), (std::tuple{0u, false}));
}

// Ink left of column `before` in the series image: a trace that starts at its first
// point leaves none there.
static int InkLeftOf(const gui::Bitmap& series, int before)
{
    int ink = 0;
    for (int y = 0; y < series.height(); ++y)
        for (int x = 0; x < before; ++x) ink += series.pixel(x, y) != kWhite ? 1 : 0;
    return ink;
}

TEST_F(GraphGeometry, ATraceStartsAtItsFirstPointOnANewGraphAndAfterAClear)
{
    const gui::Bitmap& series = SeriesImage(graph, 1);
    const int start = 250 - 7;  // x = 50, less the first point's stub
    graph.AddPoint(1, 50, 4000);
    graph.AddPoint(1, 55, 5000);
    EXPECT_EQ(InkLeftOf(series, start), 0) << "a new graph";
    graph.ClearSeries();
    EXPECT_EQ(InkLeftOf(series, series.width()), 0) << "a clear leaves the series blank";
    graph.AddPoint(1, 50, 2000);
    graph.AddPoint(1, 55, 3000);
    EXPECT_EQ(InkLeftOf(series, start), 0) << "after a clear";
    EXPECT_EQ(series.pixel(250, graph.Axis(1, false)->GetDecoder()->ValueToPixel(2000)), kCurve);
}

TEST_F(GraphGeometry, BadChannelsFailAndReplacedChannelsLeaveNothingBehind)
{
    // Channel 2 has no shape yet.
    EXPECT_EQ((std::vector{graph.SetSeriesShape(3, CDerivedGraphLabel::kLine, kCurve, 0),
                           graph.SetSeriesShape(0, CDerivedGraphLabel::kBars, kCurve, 0), graph.GetSeriesCount(),
                           graph.SetAxisRange(3, 1, 0, 10, 1), graph.SetAxisTitle(2, 1, QStringLiteral("x")), graph.AddPoint(2, 5, 5)}),
              (std::vector{0, 0, 1, 0, 0, 1}));

    // Old parts freed on replacement (ASan checks).
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(graph.SetSeriesShape(1, i % 2, kCurve, 0x00FF00), 1);
        graph.AddPoint(1, 5 * i, 1000);
        graph.SetChannelMask(3);
        ASSERT_NE(graph.Canvas(), nullptr);
    }
    ASSERT_EQ(graph.SetSeriesShape(2, CDerivedGraphLabel::kLine, 0x800000, 0), 1);
    EXPECT_EQ(graph.GetSeriesCount(), 2);
    // Mask 3: channel 2's axes (the last set bit).
    graph.SetChannelMask(3);
    EXPECT_EQ(graph.Graph()->CurrentVerticalAxis(), graph.Axis(2, false));
}

TEST_F(GraphGeometry, DegenerateRangesAndDivisionsDrawAndReturn)
{
    graph.SetAxisRange(1, 0, 500, 500, 0);
    for (int x = 0; x <= 10; x += 5) graph.AddPoint(1, x, 500);
    EXPECT_EQ(SeriesImage(graph, 1).pixel(40, 180), kCurve);
    graph.SetAxisRange(1, 1, 0, 5, 0);
    graph.SetAxisRange(1, 1, 100, 0, -3);
    graph.SetYAxisMaximum(0);
    graph.SetXAxisDivisions(1, -1);
    graph.SetChannelMask(1);
    EXPECT_NE(graph.Canvas(), nullptr);
}

TEST(Histogram, AValueOnABucketEdgeRedrawsTheBucketThatCountsIt)
{
    CDerivedGraphLabel graph;
    Build(graph, 600, 250, {{1, CDerivedGraphLabel::kBars, 0x000000, 0x00FF00}});
    graph.SetAxisRange(1, 1, 0, 100, 5);   // buckets (0,5], (5,10], ... at 25 px each
    graph.SetAxisRange(1, 0, 0, 10, 1);    // 18 px per count
    graph.SetChannelMask(1);
    const gui::Bitmap& bars = SeriesImage(graph, 1);
    graph.AddPoint(1, 0, 7);
    EXPECT_EQ((std::pair{bars.pixel(37, 170), bars.pixel(37, 150)}), (std::pair{0x00FF00u, kWhite}));  // one in (5, 10]: rows 162..179
    graph.AddPoint(1, 0, 10);                   // counted in (5, 10] and shown there
    // Two: rows 144..179; (10, 15] stays empty.
    EXPECT_EQ((std::pair{bars.pixel(37, 150), bars.pixel(62, 175)}), (std::pair{0x00FF00u, kWhite}));
    // A full redraw shows the same bars.
    const QImage incremental = bars.image().copy(0, 0, 500, 180);
    graph.Series(1)->Draw();
    EXPECT_EQ(bars.image().copy(0, 0, 500, 180), incremental);

    // No bucket width: values kept, no hang.
    graph.SetXAxisDivisions(1, 0);
    EXPECT_EQ(graph.Series(1)->AddValue(3, 3), 0);
    graph.SetXAxisDivisions(1, -5);
    EXPECT_EQ((std::tuple{graph.Series(1)->Draw(), graph.Series(1)->Container()->GetCount()}), (std::tuple{1, 3u}));
}

// The start-up histogram: 100 buckets on 320 columns.
TEST(Histogram, EveryBucketShowsItsBarHoweverNarrowItsSlot)
{
    CDerivedGraphLabel graph;
    Build(graph, 420, 260, {{1, CDerivedGraphLabel::kBars, 0xFFC0C0, 0xC04040}});
    graph.SetAxisRange(1, 0, 0, 10, 1);
    graph.SetAxisRange(1, 1, 0, 10000, 1000);
    graph.SetXAxisDivisions(1, 100);
    graph.SetChannelMask(1);
    for (int k = 0; k < 100; ++k) graph.AddPoint(1, 0, 100 * k + 1 + (k * 37) % 99);
    const gui::Bitmap& bars = SeriesImage(graph, 1);
    const auto inkedRuns = [&bars] {
        int runs = 0;
        bool inked = false;
        for (int x = 0; x < bars.width(); ++x) {
            const bool ink = bars.pixel(x, 185) != kWhite;
            runs += ink && !inked ? 1 : 0;
            inked = ink;
        }
        return runs;
    };
    EXPECT_EQ(inkedRuns(), 100);
    graph.Series(1)->Draw();
    EXPECT_EQ(inkedRuns(), 100);
    graph.Canvas();
    graph.SetXAxisDivisions(1, 200);
    const QImage shown = graph.Canvas()->image().copy();
    graph.Graph()->Draw();
    EXPECT_EQ(graph.Canvas()->image(), shown);
    EXPECT_TRUE(speedtest::SavePng(graph.Canvas()->image(), QStringLiteral("graph_histogram_100_buckets")));
}

TEST(SeriesContainer, RollsOverAndReadsNoIndexOutsideItself)
{
    CSeriesContainer c;
    c.SetCapacity(100);
    for (int i = 0; i < 150; ++i) c.Add(i, i * 2.0);
    ASSERT_EQ(c.GetCount(), 101u);
    EXPECT_EQ((std::pair{c.GetPoint(0).first, c.GetPoint(100).second}), (std::pair{49.0, 298.0}));
    // b <= 0: the value at index a; outside the buffer: 0, not a stray read.
    EXPECT_EQ((std::vector{c.CountInRange(3, 0), c.CountInRange(-1000, 0), c.CountInRange(500, -1)}), (std::vector{104.0, 0.0, 0.0}));
}

// Each tick equals a full redraw; ink and changes stay where erase and repaint know.
TEST(LongRun, TwoChannelsOverManyTicksEqualAFullCompositionAndStayBounded)
{
    CDerivedGraphLabel graph;
    Build(graph, 708, 288, {{1, CDerivedGraphLabel::kLine, 0x800000}, {2, CDerivedGraphLabel::kLine, 0x0000FF}});
    for (int channel = 1; channel <= 2; ++channel) graph.SetAxisRange(channel, 1, -5000, 0, 500);
    graph.SetYAxisMaximum(9000);  // both channels: 9000 at the top row
    EXPECT_EQ((std::pair{graph.Axis(1, false)->GetDecoder()->ValueToPixel(9000), graph.Axis(2, false)->GetDecoder()->ValueToPixel(9000)}),
              (std::pair{0, 0}));
    const auto tick = [&graph](int k) {
        const int x = (k % 101) * 50 - 5000;
        graph.AddPoint(1, x, k % 53 == 0 ? 0 : 4000 + static_cast<int>(3900 * std::sin(k / 7.0)));
        graph.AddPoint(2, x, k % 29 < 3 ? 8000 * (k % 2) : 2000 + (k % 23) * 70);
    };
    int badTicks = 0;
    for (int k = 0; k < 230; ++k) {
        const QImage before = graph.Canvas()->image().copy();
        tick(k);
        const QImage incremental = graph.Canvas()->image().copy();
        QRegion repainted;
        for (const QRect& r : graph.Graph()->Changed()) repainted += r;
        int outside = 0;
        for (int y = 0; y < before.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(incremental.constScanLine(y));
            if (std::equal(a, a + before.width(), b)) continue;
            for (int x = 0; x < before.width(); ++x) outside += a[x] != b[x] && !repainted.contains(QPoint(x, y)) ? 1 : 0;
        }
        int stray = 0;
        for (int channel = 1; channel <= 2; ++channel) {
            const CInkColumns* ink = graph.Series(channel)->Ink();
            ASSERT_NE(ink, nullptr);
            const QImage& image = SeriesImage(graph, channel).image();
            for (int y = 0; y < image.height(); ++y) {
                const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
                const std::uint64_t block = std::uint64_t{1} << (y / ink->BlockRows());
                for (int x = 0; x < image.width(); ++x) stray += (row[x] & 0xFFFFFF) != 0xFFFFFF && (ink->At(x) & block) == 0 ? 1 : 0;
            }
        }
        graph.Graph()->Draw();
        const bool same = graph.Canvas()->image() == incremental;
        badTicks += !same || outside != 0 || stray != 0 ? 1 : 0;
        EXPECT_TRUE(same && outside == 0 && stray == 0) << "tick " << k << ": outside " << outside << ", stray " << stray;
        if (badTicks > 3) break;
    }
    for (int channel = 1; channel <= 2; ++channel) {
        EXPECT_EQ(graph.Series(channel)->Container()->GetCount(), 101u);
        const auto* line = dynamic_cast<const CLine*>(graph.Series(channel)->Shape());
        ASSERT_NE(line, nullptr);
        EXPECT_LE(line->PointCount(), CLine::kMaxPoints);
    }
}

// Each run of ink on the label rows stays as narrow as one label.
TEST(GraphAxis, CrowdedHorizontalLabelsDoNotRunIntoEachOther)
{
    CDerivedGraphLabel graph;
    Build(graph, 600, 250, {{1, CDerivedGraphLabel::kLine, kCurve}});
    graph.SetAxisRange(1, 1, 0, 100000, 5000);  // 21 labels of up to six digits, 25 px apart
    graph.SetChannelMask(1);
    const gui::Bitmap& canvas = *graph.Canvas();
    std::vector<std::pair<int, int>> runs;  // first and last column
    for (int x = 0; x < 600; ++x) {
        bool ink = false;
        for (int y = 207; y < 220 && !ink; ++y) ink = canvas.pixel(x, y) != kWhite;
        if (!ink) continue;
        if (!runs.empty() && x - runs.back().second <= 3) runs.back().second = x;
        else runs.emplace_back(x, x);
    }
    ASSERT_GE(runs.size(), 3u);
    for (const auto& [first, last] : runs) EXPECT_LE(last - first, 45) << first;
}

// A graph set up in many steps draws its parts once, when it is first looked at. Every
// step below, looked at as it happens or only at the end, gives the same picture and
// the same parts: including new divisions, which redraw the bars but leave the axis
// and grid as they were drawn before.
TEST(GraphSetUp, StepsLookedAtOnlyAtTheEndShowWhatTheyShowLookedAtOneByOne)
{
    const auto steps = [](CDerivedGraphLabel& g, bool look) {
        const auto seen = [&] {
            if (look) g.Canvas();
        };
        ASSERT_TRUE(g.BuildGraph(708, 288));
        g.SetSeriesShape(1, CDerivedGraphLabel::kLine, 0x800000, 0);
        seen();
        g.SetSeriesShape(2, CDerivedGraphLabel::kBars, 0x0000FF, 0xC0C0FF);
        seen();
        g.SetChannelMask(3);
        seen();
        g.SetAxisRange(2, 1, 0, 1000, 100);
        seen();
        g.SetYAxisMaximum(9000);
        seen();
        g.AddPoint(2, 150, 9);
        g.AddPoint(1, 40, 3000);
        seen();
        g.SetAxisTitle(2, 1, QStringLiteral("Arrival"));
        g.SetAxisTitle(1, 0, QStringLiteral("Speed"));
        seen();
        g.SetXAxisDivisions(2, 500);
        seen();
        g.SetChannelMask(1);
        seen();
        g.SetAxisRange(1, 1, -50, 50, 10);
    };
    CDerivedGraphLabel lookedAt, atTheEnd;
    ASSERT_NO_FATAL_FAILURE(steps(lookedAt, true));
    ASSERT_NO_FATAL_FAILURE(steps(atTheEnd, false));
    const auto differing = [](const gui::Bitmap* a, const gui::Bitmap* b) {
        if (a == nullptr || b == nullptr || a->size() != b->size()) return -1;
        int n = 0;
        for (int y = 0; y < a->height(); ++y)
            for (int x = 0; x < a->width(); ++x) n += a->pixel(x, y) != b->pixel(x, y) ? 1 : 0;
        return n;
    };
    EXPECT_EQ(differing(lookedAt.Canvas(), atTheEnd.Canvas()), 0);
    for (int channel = 1; channel <= 2; ++channel) {
        EXPECT_EQ(differing(&SeriesImage(lookedAt, channel), &SeriesImage(atTheEnd, channel)), 0) << "series " << channel;
        for (const bool horizontal : {true, false})
            EXPECT_EQ(differing(SurfaceOf(lookedAt.Axis(channel, horizontal)->GetCanvas()),
                                SurfaceOf(atTheEnd.Axis(channel, horizontal)->GetCanvas())),
                      0)
                << "channel " << channel << (horizontal ? " horizontal" : " vertical") << " axis";
    }
}
