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
                  dst.blockCopy(QPoint(0, 0), src, QRect(4, 0, 2, 2)) + dst.blockCopy(QPoint(0, 0), Bitmap(), QRect(0, 0, 2, 2)),
              0);
}

TEST(Fills, RectanglesExcludeTheirFarEdgesAndGradientsKeepEachColourAtItsEnd) {
    Bitmap b(5, 4);
    b.fill(0xFFFFFF);
    b.fillRect(QRect(1, 1, 2, 2), 0x0000FF);
    b.fillRect(QRect(QPoint(4, 0), QPoint(2, 3)), 0);  // inverted: nothing
    EXPECT_EQ(guitest::Pixels(b, {{2, 2}, {3, 2}, {3, 1}, {-1, 0}}), (std::vector<ColourRef>{0x0000FF, 0xFFFFFF, 0xFFFFFF, 0}));  // outside reads 0

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
    EXPECT_LT(label.pixelSize(), 16);  // the em is smaller than the cell
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
    EXPECT_EQ(guitest::Pixels(lines, {{10, 9}, {10, 11}, {10, 14}, {19, 3}}), (std::vector<ColourRef>{0x0000FF, 0x0000FF, 0xFFFFFF, 0x00FF00}));
}


namespace {

// The bitmap with its pixels made: what a one-colour bitmap must behave as.
Bitmap withPixels(const Bitmap& b) {
    Bitmap made = b;
    made.image();
    return made;
}

// Where the pixels of two bitmaps first differ, or "same".
std::string firstDifference(const Bitmap& a, const Bitmap& b) {
    if (a.size() != b.size()) return "sizes differ";
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (raw(a, x, y) != raw(b, x, y))
                return "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(raw(a, x, y)) +
                       " against " + std::to_string(raw(b, x, y));
    return "same";
}

Bitmap oneColour(int w, int h, ColourRef c) {
    Bitmap b;
    b.create(w, h, c);
    return b;
}

}  // namespace

// A made bitmap holds no pixels until drawn on; every operation on it, and with it as a
// source, gives the pixels that the same operation gives on a bitmap whose pixels exist.
TEST(OneColourBitmaps, ActAsTheirPixelsWouldAndMakeNoneUntilDrawnOn) {
    Bitmap b = oneColour(5, 4, 0x123456);
    EXPECT_TRUE(b.uniformPixel().has_value());
    EXPECT_EQ((std::vector<ColourRef>{b.pixel(4, 3), b.pixel(5, 0)}), (std::vector<ColourRef>{0x123456, 0}));
    b.fill(0x00FF00);
    b.fillRect(QRect(1, 1, 2, 2), 0x00FF00);  // the colour it has
    b.setPixel(0, 0, 0x00FF00);
    b.applyMask(0x0FFFF0);
    b.fillRect(QRect(-3, -3, 20, 20), 0xABCDEF);  // covers it
    EXPECT_TRUE(b.uniformPixel().has_value()) << "filling or masking it whole makes no pixels";
    EXPECT_EQ(b.pixel(2, 2), 0xABCDEFu);
    const Bitmap scaled = b.scaled(3, 2);
    EXPECT_EQ((std::tuple{scaled.size(), scaled.uniformPixel().has_value(), scaled.pixel(2, 1)}), (std::tuple{QSize(3, 2), true, ColourRef{0xABCDEF}}));
    b.fillRect(QRect(1, 1, 2, 2), 0x0000FF);
    EXPECT_FALSE(b.uniformPixel().has_value()) << "drawing on part of it makes its pixels";
    EXPECT_EQ(guitest::Pixels(b, {{1, 1}, {3, 1}}), (std::vector<ColourRef>{0x0000FF, 0xABCDEF}));

    // Block copies and ANDs, each operand one colour or numbered, over part and all.
    const Bitmap numberedSrc = numbered(5, 4);
    const std::vector<std::pair<const char*, Bitmap>> operands = {
        {"white", oneColour(5, 4, 0xFFFFFF)}, {"tint", oneColour(5, 4, 0x3C5AF0)}, {"numbered", numberedSrc}};
    for (const CopyMode mode : {CopyMode::Copy, CopyMode::And, CopyMode::Or}) {
        for (const auto& [dstName, dst] : operands) {
            for (const auto& [srcName, src] : operands) {
                for (const QRect& part : {QRect(1, 1, 3, 2), QRect(0, 0, 5, 4)}) {
                    Bitmap lazy = dst;
                    Bitmap made = withPixels(dst);
                    EXPECT_EQ(lazy.blockCopy(part.topLeft(), src, part, mode), made.blockCopy(part.topLeft(), withPixels(src), part, mode));
                    EXPECT_EQ(firstDifference(lazy, made), "same") << "copy mode " << int(mode) << " of " << srcName << " onto " << dstName << " over " << part.width();
                }
                Bitmap lazySelf = dst;
                Bitmap madeSelf = withPixels(dst);
                lazySelf.blockCopy(QPoint(1, 0), lazySelf, QRect(0, 0, 4, 4), mode);
                madeSelf.blockCopy(QPoint(1, 0), madeSelf, QRect(0, 0, 4, 4), mode);
                EXPECT_EQ(firstDifference(lazySelf, madeSelf), "same") << "copy within " << dstName;
            }
        }
    }
    for (const auto& [dstName, dst] : operands) {
        for (const auto& [aName, a] : operands) {
            for (const auto& [bName, bOperand] : operands) {
                // Offset operands, over part and all, and aligned ones over the whole bitmap.
                for (const auto& [part, shift] : {std::pair{QRect(1, 1, 3, 2), 1}, std::pair{QRect(0, 0, 5, 4), 1},
                                                  std::pair{QRect(0, 0, 5, 4), 0}}) {
                    Bitmap lazy = dst;
                    Bitmap made = withPixels(dst);
                    EXPECT_EQ(lazy.blockAnd(part, a, QPoint(0, shift), bOperand, QPoint(shift, 0)),
                              made.blockAnd(part, withPixels(a), QPoint(0, shift), withPixels(bOperand), QPoint(shift, 0)));
                    EXPECT_EQ(firstDifference(lazy, made), "same")
                        << aName << " AND " << bName << " onto " << dstName << " over " << part.width() << ", shifted " << shift;
                }
            }
        }
    }

    Bitmap apart = oneColour(5, 4, 0);
    EXPECT_EQ(apart.blockAnd(QRect(7, 0, 2, 2), numberedSrc, QPoint(0, 0), numberedSrc, QPoint(0, 0)), 0) << "nothing overlaps";

    // Shown in a window it paints as its pixels would.
    const auto shown = [](const Bitmap& bitmap, const QRect& part) {
        QImage window(7, 6, QImage::Format_RGB32);
        window.fill(0);
        QPainter painter(&window);
        paintBitmap(painter, QPoint(2, 1), bitmap, part);
        return window;
    };
    for (const QRect& part : {QRect(1, 1, 9, 9), QRect(-1, 0, 3, 2), QRect(0, 0, 5, 4)}) {
        const Bitmap blue = oneColour(5, 4, 0xFF0000);
        EXPECT_EQ(shown(blue, part), shown(withPixels(blue), part)) << part.x() << "," << part.y() << " " << part.width();
    }

    // Too large for an image: refused when made, as a size that is not positive, and
    // what the bitmap held before is gone.
    Bitmap huge = oneColour(2, 2, 0x0000FF);
    EXPECT_EQ((std::vector<bool>{huge.create(100000, 100000), huge.isNull(), huge.create(1 << 30, 1)}), (std::vector<bool>{false, true, false}));
}
