// Drawing: fonts, pens, brushes, polygon regions and a memory bitmap.
//
// The bitmap is a QImage in Format_RGB32 (alpha always 0xFF), so a pixel is one 32-bit
// word and the block copies are plain scan-line loops: a copy, an AND (each source
// pixel ANDed into the destination, to lay curves and needles over a background) and an
// OR. Everything else (text, wide pens, polygons) draws through a QPainter opened for
// the one call and closed again, so no painter outlives a primitive.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/gui/Colour.h"

namespace gui {

// The family to use for a face the system names: "Arial" and the dialog faces map
// to Liberation Sans (or the fallback family), everything else stays.
QString resolveFace(const QString& face);

// A font as the system describes one: face, height in pixels and weight (100-900).
// A positive height is the character cell (ascent + descent), a negative one the em
// height; 0 takes 16 pixels of cell. escapement is the text angle in degrees,
// counter-clockwise.
class Font {
public:
    Font();
    Font(const QString& face, int height, int weight = 400, bool italic = false, int escapement = 0);

    const QFont& qfont() const { return font_; }
    QString family() const { return font_.family(); }
    int pixelSize() const { return font_.pixelSize(); }
    int escapement() const { return escapement_; }
    int cellHeight() const;
    int ascent() const;
    // Width and height of the text, as the text-extent query gives them.
    QSize textExtent(const QString& text) const;

private:
    QFont font_;
    int escapement_ = 0;
};

struct Pen {
    ColourRef colour = 0;
    int width = 1;
    // Width 1 is the cosmetic one-pixel pen; wider pens have round caps and joins.
    QPen toQPen() const;
};

struct Brush {
    ColourRef colour = 0;
    QBrush toQBrush() const { return QBrush(toQColor(colour)); }
};

// A polygon region. Alternate (odd-even) filling by default, as the system's polygon
// regions use. Hit testing and filling agree pixel for pixel (both go through QRegion).
class Region {
public:
    Region() = default;
    explicit Region(const QPolygon& polygon, Qt::FillRule rule = Qt::OddEvenFill);
    static Region rectangle(const QRect& rect);

    bool isEmpty() const { return region_.isEmpty(); }
    bool contains(const QPoint& p) const { return region_.contains(p); }
    QRect bounds() const { return region_.boundingRect(); }
    const QRegion& qregion() const { return region_; }
    const QPolygon& polygon() const { return polygon_; }
    Region translated(int dx, int dy) const;

private:
    QPolygon polygon_;
    QRegion region_;
};

enum class CopyMode { Copy, And, Or };

class Bitmap {
public:
    Bitmap();
    // A black width x height bitmap (null when either is not positive).
    Bitmap(int width, int height);
    // A copy has the pixels, shared until either is drawn on.
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    ~Bitmap();

    // Makes a new bitmap of the colour (black unless given); false (and a null bitmap)
    // for a size that is not positive or too large for an image, or when its memory
    // cannot be had.
    bool create(int width, int height, ColourRef colour = 0);
    bool isNull() const { return image_.isNull(); }
    int width() const { return size().width(); }
    int height() const { return size().height(); }
    QSize size() const { return image_.size(); }
    QRect rect() const { return QRect(QPoint(0, 0), size()); }

    // The pixels.
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

    ColourRef pixel(int x, int y) const;  // 0 outside the bitmap
    void setPixel(int x, int y, ColourRef colour);
    void fill(ColourRef colour);
    // Fills [left, right) x [top, bottom) clipped to the bitmap; nothing when empty.
    void fillRect(const QRect& rect, ColourRef colour);
    // Every pixel ANDed with the colour (tints a white drawing).
    void applyMask(ColourRef colour);

    // Copies srcRect of src to dstPos in this bitmap, clipped to both bitmaps. src may
    // be this bitmap. Returns the number of pixels written.
    long blockCopy(const QPoint& dstPos, const Bitmap& src, const QRect& srcRect, CopyMode mode = CopyMode::Copy);

    // One pass of a copy followed by an AND: each pixel of dstRect becomes a's pixel
    // at aPos plus its offset in dstRect, ANDed with b's at bPos plus that offset.
    // Clipped to all three bitmaps (pixels that any of them lacks are left alone).
    // Returns the number of pixels written.
    long blockAnd(const QRect& dstRect, const Bitmap& a, const QPoint& aPos, const Bitmap& b, const QPoint& bPos);

    // Draws srcRect of src into the parallelogram whose corners p0, p1 and p2 receive
    // the source's upper left, upper right and lower left corners, with smooth
    // (area-averaged bilinear) sampling. Pixels whose centres fall outside the
    // parallelogram are left alone. False for a degenerate parallelogram or an empty
    // source rectangle.
    bool rotatedCopy(const Bitmap& src, const QRect& srcRect, const QPoint& p0, const QPoint& p1, const QPoint& p2);

    // A copy scaled to width x height with smooth (area-averaging) sampling; null for
    // a size that is not positive.
    Bitmap scaled(int width, int height) const;

    // A one-pixel line from `from` to `to`: the first pixel is drawn, the last is not.
    void drawLine(const QPoint& from, const QPoint& to, ColourRef colour);
    // A line with the pen: one-pixel pens as above; wider ones with round caps and
    // joins (not pixel-exact: good for dial ticks).
    void drawLine(const QPoint& from, const QPoint& to, const Pen& pen);
    // Horizontal gradient over rect from `left` at rect.left() to `right` at the right
    // edge; a rect given right-to-left keeps each colour at its own end.
    void gradientFillH(int x1, int y1, int x2, int y2, ColourRef colourAtX1, ColourRef colourAtX2);
    void fillRegion(const Region& region, ColourRef colour);
    // Frames the region with a border width x height pixels wide, inside its edge.
    void frameRegion(const Region& region, ColourRef colour, int width, int height);
    // Text with its top-left corner at pos (rotated about pos by the font's
    // escapement), transparent background.
    void drawText(const Font& font, const QPoint& pos, const QString& text, ColourRef colour);

    // A painter on the bitmap for anything else; close it before the next block copy.
    QPainter painter();

private:
    QImage image_;
};

// Paints srcRect of the bitmap with its upper left corner at dst (a window's paint
// hook); nothing for a null bitmap.
void paintBitmap(QPainter& painter, const QPoint& dst, const Bitmap& bitmap, const QRect& srcRect);

// Paints the image where the mask is black and leaves what the window shows elsewhere:
// an AND of the mask and an OR of an image that is black around its shape, as a window's
// paint hook draws a shape over its background.
void paintMasked(QPainter& painter, const QPoint& dst, const Bitmap& mask, const Bitmap& image);

}  // namespace gui
