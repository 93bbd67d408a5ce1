#include <gtest/gtest.h>

#include <climits>

#include "SpeedTestSupport.h"
#include "platform/core/Debug.h"
#include "ui/DrawingObjects.h"

namespace {

constexpr gui::ColourRef kWhite = 0xFFFFFF;
constexpr gui::ColourRef kInk = 0x0000C0;
constexpr gui::ColourRef kFill = 0x00FF00;
using Colours = std::vector<gui::ColourRef>;

struct Surface {
    CDerivedCanvas canvas;
    CDdbBitmap bitmap{0, kWhite};
    Surface(int w, int h)
    {
        bitmap.SetSize(w, h);
        bitmap.Attach(&canvas);
    }
    Colours at(std::initializer_list<QPoint> points) { return guitest::Pixels(*SurfaceOf(&canvas), points); }
    void clear() { SurfaceOf(&canvas)->fill(kWhite); }
};

}  // namespace

TEST(Line, DrawsOnlyItsNewestSegmentFromTheNewestPointWithoutTheEndPixel)
{
    Surface s(120, 50);
    CLine line(kInk);
    // A new line holds (0, 0): drawn at once it is the stub (0, 0) -> (-6, 0).
    EXPECT_EQ(line.Draw(&s.canvas, 0), 1);
    EXPECT_EQ(s.at({{0, 0}, {1, 0}}), (Colours{kInk, kWhite}));

    s.clear();
    line.AddPoint(50, 20, 0);
    line.Draw(&s.canvas, 0);
    EXPECT_EQ(s.at({{50, 20}, {0, 0}}), (Colours{kInk, kWhite}));  // the older point is the end: not drawn

    // Mode 2: b -> a, then the line is empty.
    s.clear();
    line.AddPoint(60, 30, 0);
    line.AddPoint(80, 30, 0);
    line.Draw(&s.canvas, 2);
    EXPECT_EQ(s.at({{80, 30}, {61, 30}, {60, 30}}), (Colours{kInk, kInk, kWhite}));
    EXPECT_EQ(line.Draw(&s.canvas, 0), 0);

    // A point left of its predecessor: to the left edge at its height.
    s.clear();
    line.AddPoint(100, 10, 2);
    line.AddPoint(20, 30, 0);
    line.Draw(&s.canvas, 0);
    EXPECT_EQ(s.at({{20, 30}, {0, 10}, {100, 10}}), (Colours{kInk, kWhite, kWhite}));
}

TEST(Rectangle, FillsInsideTheSlotAndOutlinesLeftTopAndRightOnly)
{
    Surface s(40, 110);
    CRectangle bar(kInk, kFill);
    bar.AddPoint(10, 40, 0);
    bar.AddPoint(30, 100, 0);
    EXPECT_EQ(bar.Draw(&s.canvas, 0), 1);
    // Fill: columns 12..27, rows 40..99; no bottom stroke.
    EXPECT_EQ(s.at({{20, 70}, {27, 99}, {12, 100}, {12, 40}, {27, 40}, {28, 40}, {28, 99}, {28, 100}, {20, 100},
                    {11, 70}, {29, 70}}),
              (Colours{kFill, kFill, kInk, kInk, kInk, kInk, kInk, kWhite, kWhite, kWhite, kWhite}));
    EXPECT_EQ(bar.Draw(&s.canvas, 0), 0);  // nothing left to draw

    // A slot narrower than the insets: one column in its middle.
    s.clear();
    bar.AddPoint(10, 40, 0);
    bar.AddPoint(13, 100, 0);
    bar.Draw(&s.canvas, 0);
    EXPECT_EQ(s.at({{11, 40}, {11, 100}, {10, 70}, {12, 70}}), (Colours{kInk, kInk, kWhite, kWhite}));

    // A single point P0: the slot starts at (0, 0).
    s.clear();
    bar.AddPoint(20, 30, 0);
    bar.Draw(&s.canvas, 0);
    EXPECT_EQ(s.at({{3, 10}, {17, 29}, {18, 10}, {1, 10}}), (Colours{kFill, kFill, kInk, kWhite}));
}

TEST(Bitmap, ReportsBadSizesAndCanvasesAndFillsWithItsBackgroundColour)
{
    platform::DebugCapture debug;
    CDerivedCanvas canvas;
    CDdbBitmap bitmap(0, 0xFFFFE2);
    for (int w : {0, -5}) {
        EXPECT_EQ((std::tuple{bitmap.SetSize(w, 10), bitmap.HasBitmap()}), (std::tuple{0, false}));
    }
    EXPECT_EQ(bitmap.Attach(nullptr), 0);  // only the zero size is reported
    EXPECT_EQ((std::tuple{debug.count("IDrawingObject::CDdbBitmap : Invalid Size\n"),
                          debug.count("IDrawingObject::CDdbBitmap : Invalid Owner Canvas\n")}), (std::tuple{1u, 1u}));

    EXPECT_EQ((std::tuple{bitmap.SetSize(8, 4), bitmap.Attach(&canvas)}), (std::tuple{1, 1}));
    const gui::Bitmap* surface = SurfaceOf(&canvas);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->size(), QSize(8, 4));
    // 0x00BBGGRR.
    EXPECT_EQ(qRgb(0xE2, 0xFF, 0xFF), surface->image().pixel(7, 3) | 0xFF000000u);

    EXPECT_EQ((std::tuple{bitmap.Create(), debug.count("IDrawingObject::CDdbBitmap : Uninitialize error\n")}), (std::tuple{0, 1u}));

    // Attached to another canvas, the first one no longer holds it; the new one holds a
    // bitmap of the background, whatever was drawn on the old one.
    bitmap.SetSize(8, 4);
    bitmap.Attach(&canvas);
    SurfaceOf(&canvas)->fill(0x000000);
    CDerivedCanvas other;
    EXPECT_EQ(bitmap.Attach(&other), 1);
    EXPECT_EQ(SurfaceOf(&canvas), nullptr);
    ASSERT_NE(SurfaceOf(&other), nullptr);
    EXPECT_EQ(SurfaceOf(&other)->pixel(0, 0), 0xFFFFE2u);
    bitmap.Release();
    EXPECT_EQ(SurfaceOf(&other), nullptr);  // released: the canvas holds nothing
}

TEST(Text, CentresOnItsAnchorAndRotatedTextRunsUpFromIt)
{
    EXPECT_EQ((std::vector{CText::TextOrigin(QPoint(40, 200), QSize(60, 16), 90), CText::TextOrigin(QPoint(40, 200), QSize(60, 16), 0),
                           CText::TextOrigin(QPoint(0, 0), QSize(7, 5), 0)}),
              (std::vector{QPoint(32, 230), QPoint(10, 192), QPoint(-3, -2)}));

    Surface s(50, 30);
    CText empty(16, 0, kInk);
    empty.SetPosition(25, 15, 0);
    EXPECT_EQ(empty.Draw(&s.canvas, 0), 0);
    CText text(QStringLiteral("8000"), 16, 0, kInk);
    text.SetPosition(25, 15, 0);
    text.Draw(&s.canvas, 0);
    gui::Bitmap expected(50, 30);
    expected.fill(kWhite);
    const gui::Font plain(QStringLiteral("Arial"), 16);
    expected.drawText(plain, CText::TextOrigin(QPoint(25, 15), plain.textExtent(QStringLiteral("8000")), 0), QStringLiteral("8000"), kInk);
    EXPECT_EQ(SurfaceOf(&s.canvas)->image(), expected.image());
}
