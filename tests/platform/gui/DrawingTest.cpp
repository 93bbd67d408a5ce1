#include <gtest/gtest.h>

#include <utility>

#include <QFontInfo>

#include "GuiTestSupport.h"

using namespace gui;

namespace {

// Every pixel differs, so a misplaced one shows.
Bitmap numbered(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, colourRef(16 * x + 1, 16 * y + 2, 0x80 | (x ^ y)));
    return b;
}

std::uint32_t raw(const Bitmap& b, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(b.image().constScanLine(y))[x];
}

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

    // Partly off the top; 13 pixels a row: lanes of four, then a tail.
    const Bitmap wide = numbered(13, 3);
    Bitmap andDst(15, 4);
    andDst.fill(colourRef(0xF3, 0x3C, 0xA5));
    const Bitmap andBefore = andDst;
    EXPECT_EQ(andDst.blockCopy(QPoint(1, -1), wide, wide.rect(), CopyMode::And), 13 * 2);
    expectCopied(andDst, andBefore, QRect(1, 0, 13, 2), QPoint(0, 1), wide, true);
    Bitmap orDst = before;
    orDst.blockCopy(QPoint(0, 0), src, QRect(0, 0, 1, 1), CopyMode::Or);
    EXPECT_EQ(raw(orDst, 0, 0), raw(before, 0, 0) | raw(src, 0, 0));

    EXPECT_EQ(dst.blockCopy(QPoint(6, 0), src, src.rect()) + dst.blockCopy(QPoint(0, 0), src, QRect(0, 0, 0, 3)) +
                  dst.blockCopy(QPoint(0, 0), src, QRect(4, 0, 2, 2)) +
                  dst.blockCopy(QPoint(0, 0), Bitmap(), QRect(0, 0, 2, 2)),
              0);
}

TEST(Fills, RectanglesExcludeTheirFarEdgesAndGradientsKeepEachColourAtItsEnd) {
    Bitmap b(5, 4);
    b.fill(0xFFFFFF);
    b.fillRect(QRect(1, 1, 2, 2), 0x0000FF);
    b.fillRect(QRect(QPoint(4, 0), QPoint(2, 3)), 0);  // inverted: nothing
    EXPECT_EQ(guitest::Pixels(b, {{2, 2}, {3, 2}, {3, 1}, {-1, 0}}),
              (std::vector<ColourRef>{0x0000FF, 0xFFFFFF, 0xFFFFFF, 0}));  // outside reads 0

    Bitmap g(4, 2);
    g.gradientFillH(4, 0, 0, 2, 0x0000FF, 0x000000);  // given right to left; 16-bit steps: 255 * 3 / 4, truncated
    EXPECT_EQ((std::pair{g.pixel(0, 0), redOf(g.pixel(3, 0))}), (std::pair{ColourRef{0}, 191}));

    Bitmap none;
    EXPECT_FALSE(none.create(0, 5));
    none.fill(0xFF);
}

TEST(RotatedCopy, AnAsymmetricImageLandsWhereExpectedAtNinetyDegrees) {
    // A quarter turn clockwise.
    const Bitmap src = numbered(4, 3);
    Bitmap turned(20, 20);
    turned.fill(0x808080);
    const int x0 = 10, y0 = 10, w = 4, h = 3;
    ASSERT_TRUE(turned.rotatedCopy(src, src.rect(), QPoint(x0 + h, y0), QPoint(x0 + h, y0 + w), QPoint(x0, y0)));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) EXPECT_EQ(raw(turned, x0 + h - 1 - j, y0 + i), raw(src, i, j)) << i << "," << j;
    EXPECT_EQ((std::pair{raw(turned, x0 + h, y0), raw(turned, x0 - 1, y0)}), (std::pair{0xFF808080u, 0xFF808080u}));

    EXPECT_FALSE(turned.rotatedCopy(src, src.rect(), QPoint(1, 1), QPoint(1, 1), QPoint(0, 5)));  // degenerate
    EXPECT_FALSE(turned.rotatedCopy(src, QRect(), QPoint(0, 0), QPoint(4, 0), QPoint(0, 3)));
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
    EXPECT_LT(label.pixelSize(), 16);               // the em is smaller than the cell
    EXPECT_EQ(Font("Arial", -11).pixelSize(), 11);  // negative: the em itself
    EXPECT_EQ(label.textExtent("8000").height(), label.cellHeight());
}

TEST(Scaling, HalvingAveragesAndWidePensCoverTheirCentreLine) {
    Bitmap stripes(20, 10);
    for (int x = 0; x < 20; ++x) stripes.fillRect(QRect(x, 0, 1, 10), x % 2 ? 0xFFFFFF : 0x000000);
    const Bitmap half = stripes.scaled(10, 5);
    ASSERT_EQ(half.size(), QSize(10, 5));
    EXPECT_NEAR(redOf(half.pixel(5, 2)), 0x80, 0x10);
    EXPECT_TRUE(stripes.scaled(0, 5).isNull());

    // A line far outside is clamped, not walked.
    Bitmap lines(20, 20);
    lines.fill(0xFFFFFF);
    lines.drawLine(QPoint(2, 10), QPoint(17, 10), Pen{0x0000FF, 3});
    lines.drawLine(QPoint(-2000000000, 3), QPoint(2000000000, 3), 0x00FF00);
    EXPECT_EQ(guitest::Pixels(lines, {{10, 9}, {10, 11}, {10, 14}, {19, 3}}),
              (std::vector<ColourRef>{0x0000FF, 0x0000FF, 0xFFFFFF, 0x00FF00}));
}

// The one-pass copy-and-AND takes each operand from its own offset and clips to all three
// bitmaps; a copy or an AND within one bitmap reads its pixels as they were before the
// call; a bitmap too large for an image is refused and what it held is gone.
TEST(BlockCopies, CopyAndAndReadsEachOperandAtItsOffsetAndCopiesWithinOneBitmapReadTheOldPixels) {
    const Bitmap a = numbered(6, 5);
    Bitmap b(6, 5);
    b.fill(colourRef(0xF0, 0x3C, 0xAA));
    b.setPixel(2, 1, colourRef(0x0F, 0xFF, 0x55));
    Bitmap dst(8, 6);
    dst.fill(0x808080);
    const Bitmap before = dst;
    // Part of the rectangle lies outside b (b's offset 1 leaves its last column out).
    EXPECT_EQ(dst.blockAnd(QRect(1, 2, 6, 3), a, QPoint(0, 1), b, QPoint(1, 0)), 5 * 3);
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            const bool inside = QRect(1, 2, 5, 3).contains(x, y);
            const std::uint32_t want = inside ? raw(a, x - 1, y - 1) & raw(b, x, y - 2) : raw(before, x, y);
            EXPECT_EQ(raw(dst, x, y), want) << x << "," << y;
        }

    Bitmap self = numbered(6, 5);
    const Bitmap old = self;
    EXPECT_EQ(self.blockCopy(QPoint(1, 1), self, QRect(0, 0, 5, 4)), 5 * 4);
    expectCopied(self, old, QRect(1, 1, 5, 4), QPoint(0, 0), old, false);
    Bitmap selfAnd = numbered(6, 5);
    selfAnd.blockAnd(QRect(0, 0, 5, 4), selfAnd, QPoint(1, 1), selfAnd, QPoint(0, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(raw(selfAnd, x, y), raw(old, x + 1, y + 1) & raw(old, x, y)) << x << "," << y;

    Bitmap huge(2, 2);
    EXPECT_EQ(
        (std::vector<bool>{huge.create(100000, 100000), huge.isNull(), huge.create(1 << 30, 1), huge.create(0, 3)}),
        (std::vector<bool>{false, true, false, false}));
}
