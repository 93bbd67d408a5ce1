// Drawing: block copies byte for byte, the rotated copy's geometry, lines, gradients,
// regions and fonts. (The dial composite is proven on the tachometer.)
#include <gtest/gtest.h>

#include <QFontInfo>

#include "platform/gui/Drawing.h"

using namespace gui;

namespace {

// A small image whose every pixel differs, so a misplaced pixel shows.
Bitmap numbered(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, colourRef(16 * x + 1, 16 * y + 2, 0x80 | (x ^ y)));
    return b;
}

std::uint32_t raw(const Bitmap& b, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(b.image().constScanLine(y))[x];
}

// The colours of `b` at these points, in order.
std::vector<ColourRef> pixels(const Bitmap& b, std::initializer_list<QPoint> points) {
    std::vector<ColourRef> out;
    for (const QPoint& p : points) out.push_back(b.pixel(p.x(), p.y()));
    return out;
}

// Every pixel of `dst`: inside `landed` the source pixel (ANDed with what was there, for
// an AND copy) from `src` at `from` onwards; outside, what was there.
void expectCopied(const Bitmap& dst, const Bitmap& before, QRect landed, QPoint from, const Bitmap& src, bool andMode) {
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            std::uint32_t want = raw(before, x, y);
            if (landed.contains(x, y)) {
                const std::uint32_t s = raw(src, x - landed.left() + from.x(), y - landed.top() + from.y());
                want = andMode ? (want & s) : s;
            }
            EXPECT_EQ(raw(dst, x, y), want) << x << "," << y;
        }
}

}  // namespace

TEST(BlockCopies, PlainAndAndCopiesAreExactAndClippedIncludingTheWideRowTail) {
    const Bitmap src = numbered(4, 3);
    Bitmap dst(6, 5);
    dst.fill(colourRef(0xF0, 0x0F, 0xAA));
    const Bitmap before = dst;
    EXPECT_EQ(dst.blockCopy(QPoint(2, 2), src, QRect(1, 0, 3, 2)), 6);
    expectCopied(dst, before, QRect(2, 2, 3, 2), QPoint(1, 0), src, false);

    // Partly off the top: only the part inside both bitmaps is written; thirteen pixels a
    // row is four lanes at a time, then a tail of one.
    const Bitmap wide = numbered(13, 3);
    Bitmap andDst(15, 4);
    andDst.fill(colourRef(0xF3, 0x3C, 0xA5));
    const Bitmap andBefore = andDst;
    EXPECT_EQ(andDst.blockCopy(QPoint(1, -1), wide, wide.rect(), CopyMode::And), 13 * 2);
    expectCopied(andDst, andBefore, QRect(1, 0, 13, 2), QPoint(0, 1), wide, true);
    Bitmap orDst = before;
    orDst.blockCopy(QPoint(0, 0), src, QRect(0, 0, 1, 1), CopyMode::Or);
    EXPECT_EQ(raw(orDst, 0, 0), raw(before, 0, 0) | raw(src, 0, 0));

    // Nothing to do: empty or inverted rectangles, copies that land outside.
    EXPECT_EQ(dst.blockCopy(QPoint(6, 0), src, src.rect()) + dst.blockCopy(QPoint(0, 0), src, QRect(0, 0, 0, 3)) +
                  dst.blockCopy(QPoint(0, 0), src, QRect(4, 0, 2, 2)) + dst.blockCopy(QPoint(0, 0), Bitmap(), QRect(0, 0, 2, 2)),
              0);
}

TEST(BlockCopies, AnOverlappingCopyWithinOneBitmapReadsTheOriginalPixels) {
    Bitmap b = numbered(5, 2);
    const Bitmap original = b;
    b.blockCopy(QPoint(1, 0), b, QRect(0, 0, 4, 2));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(raw(b, 0, y), raw(original, 0, y));
        for (int x = 1; x < 5; ++x) EXPECT_EQ(raw(b, x, y), raw(original, x - 1, y));
    }
}

TEST(Fills, RectanglesExcludeTheirFarEdgesAndGradientsKeepEachColourAtItsEnd) {
    Bitmap b(5, 4);
    b.fill(0xFFFFFF);
    b.fillRect(QRect(1, 1, 2, 2), 0x0000FF);
    b.fillRect(QRect(QPoint(4, 0), QPoint(2, 3)), 0);  // inverted: nothing
    EXPECT_EQ(pixels(b, {{2, 2}, {3, 2}, {3, 1}, {-1, 0}}), (std::vector<ColourRef>{0x0000FF, 0xFFFFFF, 0xFFFFFF, 0}));  // outside reads 0

    Bitmap g(4, 2);
    g.gradientFillH(4, 0, 0, 2, 0x0000FF, 0x000000);  // given right to left; 16-bit steps: 255 * 3 / 4, truncated
    EXPECT_EQ((std::pair{g.pixel(0, 0), redOf(g.pixel(3, 0))}), (std::pair{ColourRef{0}, 191}));

    Bitmap none;
    EXPECT_FALSE(none.create(0, 5));
    none.fill(0xFF);  // harmless on a null bitmap
}

TEST(Lines, TheFirstPixelIsDrawnTheLastIsNot) {
    Bitmap b(8, 8);
    b.drawLine(QPoint(0, 0), QPoint(5, 0), 0xFFFFFF);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(b.pixel(x, 0), x < 5 ? 0xFFFFFFu : 0u) << x;
    b.drawLine(QPoint(6, 7), QPoint(6, 2), 0x0000FF);  // upwards
    for (int y = 0; y < 8; ++y) EXPECT_EQ(b.pixel(6, y), y >= 3 ? 0x0000FFu : 0u) << y;
    b.drawLine(QPoint(2, 2), QPoint(2, 2), 0x00FF00);
    EXPECT_EQ(b.pixel(2, 2), 0u);
    b.drawLine(QPoint(-2000000000, 3), QPoint(2000000000, 3), 0x00FF00);  // clamped, not looped over
    EXPECT_EQ(b.pixel(7, 3), 0x00FF00u);
}

TEST(RotatedCopy, AnAsymmetricImageLandsWhereExpectedAtNinetyAndFortyFiveDegrees) {
    // A quarter turn clockwise: the upper left corner goes to the upper right.
    const Bitmap src = numbered(4, 3);
    Bitmap turned(20, 20);
    turned.fill(0x808080);
    const int x0 = 10, y0 = 10, w = 4, h = 3;
    ASSERT_TRUE(turned.rotatedCopy(src, src.rect(), QPoint(x0 + h, y0), QPoint(x0 + h, y0 + w), QPoint(x0, y0)));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) EXPECT_EQ(raw(turned, x0 + h - 1 - j, y0 + i), raw(src, i, j)) << i << "," << j;
    EXPECT_EQ((std::pair{raw(turned, x0 + h, y0), raw(turned, x0 - 1, y0)}), (std::pair{0xFF808080u, 0xFF808080u}));

    // An eighth of a turn: quadrant colours land at their mapped centres.
    Bitmap quads(20, 20);
    for (auto [x, y, colour] : {std::tuple{0, 0, 0x0000FFu}, {10, 0, 0x00FF00u}, {0, 10, 0xFF0000u}, {10, 10, 0xFFFFFFu}})
        quads.fillRect(QRect(x, y, 10, 10), colour);
    Bitmap diamond(60, 60);
    diamond.fill(0x808080);
    const QPoint p0(30, 20), p1(44, 34), p2(16, 34);  // 20 px turned by 45 degrees: 14 px each way
    ASSERT_TRUE(diamond.rotatedCopy(quads, quads.rect(), p0, p1, p2));
    auto at = [&](double u, double v) {  // the destination pixel of source point (u, v)
        const double x = p0.x() + u / 20 * (p1.x() - p0.x()) + v / 20 * (p2.x() - p0.x());
        const double y = p0.y() + u / 20 * (p1.y() - p0.y()) + v / 20 * (p2.y() - p0.y());
        return diamond.pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
    };
    EXPECT_EQ((std::vector{at(5, 5), at(15, 5), at(5, 15), at(15, 15)}), (std::vector{0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu}));
    // Outside the diamond: untouched.
    EXPECT_EQ(pixels(diamond, {{17, 21}, {43, 46}}), (std::vector<ColourRef>{0x808080, 0x808080}));
    // Along an edge between two quadrants the sampling blends them.
    EXPECT_GT(redOf(at(10, 3)), 0) << at(10, 3);
    EXPECT_GT(greenOf(at(10, 3)), 0) << at(10, 3);

    EXPECT_FALSE(diamond.rotatedCopy(quads, quads.rect(), p0, p0, p2));  // degenerate
    EXPECT_FALSE(diamond.rotatedCopy(quads, QRect(), p0, p1, p2));
}

TEST(Regions, HitTestingAndFillingAgreePixelForPixel) {
    const Region wedge(QPolygon({QPoint(0, 8), QPoint(20, 0), QPoint(20, 10), QPoint(0, 10)}));
    Bitmap b(22, 12);
    b.fillRegion(wedge, 0xFFFFFF);
    int filled = 0;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 22; ++x) {
            EXPECT_EQ(b.pixel(x, y) == 0xFFFFFFu, wedge.contains(QPoint(x, y))) << x << "," << y;
            filled += b.pixel(x, y) == 0xFFFFFFu ? 1 : 0;
        }
    }
    EXPECT_GT(filled, 50);
    EXPECT_TRUE(wedge.translated(100, 0).contains(QPoint(118, 5)));
}

TEST(Fonts, PositiveHeightsAreCellHeightsNegativeOnesTheEm) {
    const Font label("Arial", 16);
    EXPECT_GE(label.cellHeight(), 15) << label.cellHeight();
    EXPECT_LE(label.cellHeight(), 16) << label.cellHeight();
    EXPECT_LT(label.pixelSize(), 16);  // the em is smaller than the cell
    EXPECT_EQ(Font("Arial", -11).pixelSize(), 11);  // negative: the em itself
    EXPECT_EQ(label.textExtent("8000").height(), label.cellHeight());
}

TEST(Scaling, HalvingAveragesAndPaintingCopiesThePartAsked) {
    Bitmap stripes(20, 10);
    for (int x = 0; x < 20; ++x) stripes.fillRect(QRect(x, 0, 1, 10), x % 2 ? 0xFFFFFF : 0x000000);
    const Bitmap half = stripes.scaled(10, 5);
    ASSERT_EQ(half.size(), QSize(10, 5));
    EXPECT_NEAR(redOf(half.pixel(5, 2)), 0x80, 0x10);  // black and white columns averaged
    EXPECT_TRUE(stripes.scaled(0, 5).isNull());

    // A wide pen covers its centre line; the one-pixel pen still leaves its end out.
    Bitmap lines(20, 20);
    lines.fill(0xFFFFFF);
    lines.drawLine(QPoint(2, 10), QPoint(17, 10), Pen{0x0000FF, 3});
    EXPECT_EQ(pixels(lines, {{10, 9}, {10, 11}, {10, 14}}), (std::vector<ColourRef>{0x0000FF, 0x0000FF, 0xFFFFFF}));
    lines.drawLine(QPoint(2, 2), QPoint(8, 2), Pen{0x00FF00, 1});
    EXPECT_EQ(lines.pixel(8, 2), 0xFFFFFFu);

    const Bitmap src = numbered(6, 5);
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::black);
    {
        QPainter p(&target);
        paintBitmap(p, QPoint(3, 4), src, QRect(1, 1, 4, 3));
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.pixel(3 + x, 4 + y), raw(src, 1 + x, 1 + y)) << x << "," << y;
    EXPECT_EQ((std::pair{target.pixel(2, 4), target.pixel(7, 4)}), (std::pair{QRgb{0xFF000000u}, QRgb{0xFF000000u}}));
}

