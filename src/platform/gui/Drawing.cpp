#include "platform/gui/Drawing.h"

#include <QFontMetrics>
#include <QHash>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "platform/gui/Application.h"

namespace gui {

namespace {

constexpr int kCoordinateLimit = 32767;  // lines beyond this are clamped, never looped over

int clampCoordinate(int v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }

}  // namespace

QString resolveFace(const QString& face) {
    static const char* const kMapped[] = {
        "Arial", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Microsoft Sans Serif", "Tahoma", "System"};
    for (const char* name : kMapped) {
        if (face.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return Application::sansFamily();
    }
    if (face.isEmpty()) return Application::sansFamily();
    return face;
}

// ---- Font ----------------------------------------------------------------------------

Font::Font() : Font(QStringLiteral("Arial"), 0) {}

Font::Font(const QString& face, int height, int weight, bool italic, int escapement) : escapement_(escapement) {
    font_.setFamily(resolveFace(face));
    font_.setWeight(static_cast<QFont::Weight>(std::clamp(weight <= 0 ? 400 : weight, 100, 900)));
    font_.setItalic(italic);
    font_.setStyleStrategy(QFont::PreferAntialias);
    if (height < 0) {
        font_.setPixelSize(std::max(1, -height));
        return;
    }
    const int cell = height == 0 ? 16 : height;
    // The largest em size whose cell (ascent + descent) fits the requested height. The
    // search measures the font at every size it tries (each a font engine loaded), and
    // a page makes the same few fonts at every opening: the answer is remembered.
    const QString key = QStringLiteral("%1/%2/%3/%4").arg(font_.family()).arg(font_.weight()).arg(italic).arg(cell);
    static std::mutex mutex;
    static QHash<QString, int> known;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const auto found = known.constFind(key); found != known.constEnd()) {
            font_.setPixelSize(*found);
            return;
        }
    }
    int px = cell;
    font_.setPixelSize(px);
    while (px > 1 && QFontMetrics(font_).height() > cell) {
        --px;
        font_.setPixelSize(px);
    }
    const std::lock_guard<std::mutex> lock(mutex);
    known.insert(key, px);
}

int Font::cellHeight() const { return QFontMetrics(font_).height(); }
int Font::ascent() const { return QFontMetrics(font_).ascent(); }

QSize Font::textExtent(const QString& text) const {
    const QFontMetrics fm(font_);
    return QSize(fm.horizontalAdvance(text), fm.height());
}

QPen Pen::toQPen() const {
    if (width <= 1) {
        QPen pen(toQColor(colour));
        pen.setWidth(0);  // cosmetic: one pixel whatever the transform
        return pen;
    }
    return QPen(toQColor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- Region --------------------------------------------------------------------------

Region::Region(const QPolygon& polygon, Qt::FillRule rule) : polygon_(polygon), region_(polygon, rule) {}

Region Region::rectangle(const QRect& rect) {
    Region r;
    r.polygon_ = QPolygon(rect);
    r.region_ = QRegion(rect);
    return r;
}

Region Region::translated(int dx, int dy) const {
    Region r;
    r.polygon_ = polygon_.translated(dx, dy);
    r.region_ = region_.translated(dx, dy);
    return r;
}

// ---- Bitmap --------------------------------------------------------------------------

Bitmap::Bitmap() = default;

Bitmap::Bitmap(int width, int height) { create(width, height); }

Bitmap::Bitmap(const Bitmap& other) = default;
Bitmap& Bitmap::operator=(const Bitmap& other) = default;
Bitmap::Bitmap(Bitmap&& other) noexcept = default;
Bitmap& Bitmap::operator=(Bitmap&& other) noexcept = default;
Bitmap::~Bitmap() = default;

namespace {

// Four bytes a pixel, each line and the whole within what an image can address.
bool imageSizeFits(int width, int height) {
    constexpr std::int64_t kMaxBytes = std::numeric_limits<int>::max();
    return width > 0 && height > 0 && std::int64_t{width} * 4 <= kMaxBytes &&
           std::int64_t{width} * height <= kMaxBytes / 4;
}

}  // namespace

bool Bitmap::create(int width, int height, ColourRef colour) {
    image_ = QImage();
    if (!imageSizeFits(width, height)) return false;
    QImage made(width, height, QImage::Format_RGB32);
    if (made.isNull()) return false;  // the allocation failed
    made.fill(pixelFromColourRef(colour));
    image_ = std::move(made);
    return true;
}

ColourRef Bitmap::pixel(int x, int y) const {
    if (isNull() || !rect().contains(x, y)) return 0;
    const auto* line = reinterpret_cast<const std::uint32_t*>(image_.constScanLine(y));
    return colourRefFromPixel(line[x]);
}

void Bitmap::setPixel(int x, int y, ColourRef colour) {
    if (isNull() || !rect().contains(x, y)) return;
    reinterpret_cast<std::uint32_t*>(image_.scanLine(y))[x] = pixelFromColourRef(colour);
}

void Bitmap::fill(ColourRef colour) {
    if (!image_.isNull()) image_.fill(pixelFromColourRef(colour));
}

void Bitmap::fillRect(const QRect& rect, ColourRef colour) {
    if (isNull()) return;
    if (rect.width() <= 0 || rect.height() <= 0) return;  // no normalising: an inverted rect is empty
    const QRect r = rect.intersected(this->rect());
    if (r.isEmpty()) return;
    const std::uint32_t p = pixelFromColourRef(colour);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image_.scanLine(y));
        std::fill(line + r.left(), line + r.left() + r.width(), p);
    }
}

void Bitmap::applyMask(ColourRef colour) {
    const std::uint32_t mask = pixelFromColourRef(colour);
    if (image_.isNull()) return;
    for (int y = 0; y < image_.height(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image_.scanLine(y));
        for (int x = 0; x < image_.width(); ++x) line[x] &= mask;
    }
}

namespace {

// Four pixels at a time: the AND and OR copies run once per tick over whole graphs and
// dials, and a plain loop is not vectorised at every optimisation level.
using Lanes = std::uint32_t __attribute__((vector_size(16)));

template <class Op>
void combineRow(std::uint32_t* out, const std::uint32_t* in, int w, Op op) {
    int x = 0;
    for (; x + 4 <= w; x += 4) {
        Lanes a, b;
        std::memcpy(&a, out + x, sizeof a);
        std::memcpy(&b, in + x, sizeof b);
        a = op(a, b);
        std::memcpy(out + x, &a, sizeof a);
    }
    for (; x < w; ++x) {
        Lanes a{out[x], 0, 0, 0}, b{in[x], 0, 0, 0};
        out[x] = op(a, b)[0];
    }
}

}  // namespace

long Bitmap::blockCopy(const QPoint& dstPos, const Bitmap& src, const QRect& srcRect, CopyMode mode) {
    if (isNull() || src.isNull() || srcRect.isEmpty()) return 0;
    // Clip the source rectangle to the source, move the destination along, then clip
    // against the destination and bring the source along again.
    QRect s = srcRect.intersected(src.rect());
    if (s.isEmpty()) return 0;
    QPoint d = dstPos + (s.topLeft() - srcRect.topLeft());
    QRect dr(d, s.size());
    const QRect dClipped = dr.intersected(rect());
    if (dClipped.isEmpty()) return 0;
    s = QRect(s.topLeft() + (dClipped.topLeft() - dr.topLeft()), dClipped.size());
    const int w = s.width();
    const long written = static_cast<long>(w) * s.height();

    // A copy within one bitmap reads from a snapshot so overlapping rows stay right.
    QImage snapshot;
    const QImage* from = &src.image_;
    if (&src == this) {
        snapshot = image_.copy(s);
        from = &snapshot;
        s.moveTopLeft(QPoint(0, 0));
    }
    for (int line = 0; line < s.height(); ++line) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(from->constScanLine(s.top() + line)) + s.left();
        auto* out = reinterpret_cast<std::uint32_t*>(image_.scanLine(dClipped.top() + line)) + dClipped.left();
        switch (mode) {
            case CopyMode::Copy:
                std::memcpy(out, in, static_cast<std::size_t>(w) * sizeof(std::uint32_t));
                break;
            case CopyMode::And:
                combineRow(out, in, w, [](Lanes a, Lanes b) { return a & b; });
                break;
            case CopyMode::Or:
                combineRow(out, in, w, [](Lanes a, Lanes b) { return a | b; });
                break;
        }
    }
    return written;
}

long Bitmap::blockAnd(const QRect& dstRect, const Bitmap& a, const QPoint& aPos, const Bitmap& b, const QPoint& bPos) {
    if (isNull() || a.isNull() || b.isNull() || dstRect.isEmpty()) return 0;
    if (&a == this || &b == this) {  // reads must not see this call's writes
        const Bitmap copy = *this;
        const Bitmap& ra = &a == this ? copy : a;
        const Bitmap& rb = &b == this ? copy : b;
        return blockAnd(dstRect, ra, aPos, rb, bPos);
    }
    const QPoint origin = dstRect.topLeft();
    const QRect r = dstRect.intersected(rect())
                        .intersected(a.rect().translated(origin - aPos))
                        .intersected(b.rect().translated(origin - bPos));
    if (r.isEmpty()) return 0;
    const QPoint da = aPos - origin;
    const QPoint db = bPos - origin;
    const int w = r.width();
    const long written = static_cast<long>(w) * r.height();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(image_.scanLine(y)) + r.left();
        const auto* inA =
            reinterpret_cast<const std::uint32_t*>(a.image_.constScanLine(y + da.y())) + r.left() + da.x();
        std::memcpy(out, inA, static_cast<std::size_t>(w) * sizeof(std::uint32_t));
        const auto* inB =
            reinterpret_cast<const std::uint32_t*>(b.image_.constScanLine(y + db.y())) + r.left() + db.x();
        combineRow(out, inB, w, [](Lanes x, Lanes z) { return x & z; });
    }
    return written;
}

namespace {

struct Sampler {
    const uchar* bits;
    qsizetype stride;
    QRect clip;  // the source rectangle, clipped to the image

    // Both channel lanes (0x00FF00FF and 0x0000FF00) blended with weight t of 256.
    static std::uint32_t lerp(std::uint32_t a, std::uint32_t b, std::uint32_t t) {
        const std::uint32_t rb = (((a & 0xFF00FFu) * (256 - t) + (b & 0xFF00FFu) * t) >> 8) & 0xFF00FFu;
        const std::uint32_t g = (((a & 0x00FF00u) * (256 - t) + (b & 0x00FF00u) * t) >> 8) & 0x00FF00u;
        return rb | g;
    }

    // Bilinear sample at (fx, fy) in pixel-centre coordinates, clamped to the clip,
    // with weights rounded to 1/256 (exact at pixel centres).
    // (Floor and rounding by hand: without SSE4.1 the library calls cost more than
    // the whole blend.)
    static int floorOf(double v) {
        const int i = static_cast<int>(v);
        return i > v ? i - 1 : i;
    }
    std::uint32_t sample(double fx, double fy) const {
        fx = std::clamp(fx, -1e6, 1e6);
        fy = std::clamp(fy, -1e6, 1e6);
        const int xf = floorOf(fx);
        const int yf = floorOf(fy);
        const auto tx = static_cast<std::uint32_t>((fx - xf) * 256 + 0.5);
        const auto ty = static_cast<std::uint32_t>((fy - yf) * 256 + 0.5);
        const int x0 = std::clamp(xf, clip.left(), clip.right());
        const int y0 = std::clamp(yf, clip.top(), clip.bottom());
        const int x1 = std::min(x0 + 1, clip.right());
        const int y1 = std::min(y0 + 1, clip.bottom());
        const auto* r0 = reinterpret_cast<const std::uint32_t*>(bits + y0 * stride);
        const auto* r1 = reinterpret_cast<const std::uint32_t*>(bits + y1 * stride);
        return lerp(lerp(r0[x0], r0[x1], tx), lerp(r1[x0], r1[x1], tx), ty);
    }
};
}  // namespace

bool Bitmap::rotatedCopy(const Bitmap& src, const QRect& srcRect, const QPoint& p0, const QPoint& p1,
                         const QPoint& p2) {
    if (isNull() || src.isNull() || srcRect.isEmpty()) return false;
    const QRect clip = srcRect.intersected(src.rect());
    if (clip.isEmpty()) return false;
    const double e1x = p1.x() - p0.x(), e1y = p1.y() - p0.y();
    const double e2x = p2.x() - p0.x(), e2y = p2.y() - p0.y();
    const double det = e1x * e2y - e2x * e1y;
    if (std::fabs(det) < 1e-9) return false;

    const double w = srcRect.width();
    const double h = srcRect.height();
    // Source pixels per destination pixel along each edge: sample that many points per
    // axis (at most 4) so a shrinking copy averages instead of dropping pixels.
    const double lenA = std::hypot(e1x, e1y);
    const double lenB = std::hypot(e2x, e2y);
    // (A few percent over a whole factor, as integer corner points give, needs no
    // extra row of samples.)
    const int k = std::clamp(static_cast<int>(std::ceil(std::max(w / lenA, h / lenB) - 0.05)), 1, 4);

    // Destination bounding box of the parallelogram.
    const QPoint p3 = p1 + p2 - p0;
    const int minX = std::max(0, std::min({p0.x(), p1.x(), p2.x(), p3.x()}));
    const int maxX = std::min(image_.width() - 1, std::max({p0.x(), p1.x(), p2.x(), p3.x()}));
    const int minY = std::max(0, std::min({p0.y(), p1.y(), p2.y(), p3.y()}));
    const int maxY = std::min(image_.height() - 1, std::max({p0.y(), p1.y(), p2.y(), p3.y()}));
    if (minX > maxX || minY > maxY) return true;

    // If src is this bitmap, sample from a snapshot.
    QImage snapshot;
    const QImage* from = &src.image_;
    if (&src == this) {
        snapshot = image_.copy();
        from = &snapshot;
    }
    const Sampler sampler{from->constBits(), from->bytesPerLine(), clip};
    auto toSource = [&](double dx, double dy, double& a, double& b) {
        const double rx = dx - p0.x();
        const double ry = dy - p0.y();
        a = (e2y * rx - e2x * ry) / det;
        b = (-e1y * rx + e1x * ry) / det;
    };

    // a and b are linear along a row: only the columns where both may lie in [0, 1)
    // are visited (a pixel of margin on each side; the test below decides).
    const double da = e2y / det;
    const double db = -e1y / det;
    const auto narrow = [](double start, double slope, double& lo, double& hi) {
        if (std::fabs(slope) < 1e-12) {
            if (start < 0.0 || start >= 1.0) hi = lo - 1;  // empty
            return;
        }
        double x0 = (0.0 - start) / slope;
        double x1 = (1.0 - start) / slope;
        if (x0 > x1) std::swap(x0, x1);
        lo = std::max(lo, x0);
        hi = std::min(hi, x1);
    };
    // Offsets from a pixel's corner to its centre and to its k x k sub-samples.
    const auto offsetA = [&](double ox, double oy) { return (e2y * ox - e2x * oy) / det; };
    const auto offsetB = [&](double ox, double oy) { return (-e1y * ox + e1x * oy) / det; };
    const double centreA = offsetA(0.5, 0.5);
    const double centreB = offsetB(0.5, 0.5);
    double subA[16], subB[16];
    for (int j = 0; j < k; ++j) {
        for (int i = 0; i < k; ++i) {
            subA[j * k + i] = offsetA((i + 0.5) / k, (j + 0.5) / k);
            subB[j * k + i] = offsetB((i + 0.5) / k, (j + 0.5) / k);
        }
    }
    for (int y = minY; y <= maxY; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(image_.scanLine(y));
        double a0, b0;  // at the centre of column 0
        toSource(0.5, y + 0.5, a0, b0);
        double lo = minX, hi = maxX;
        narrow(a0, da, lo, hi);
        narrow(b0, db, lo, hi);
        if (hi < lo) continue;
        const int from = std::max(minX, static_cast<int>(std::floor(std::clamp(lo, -1e6, 1e6))) - 1);
        const int to = std::min(maxX, static_cast<int>(std::ceil(std::clamp(hi, -1e6, 1e6))) + 1);
        // Source coordinates of the pixel's upper left corner, stepped along the row;
        // the centre and the sub-samples are fixed offsets from it.
        double aCorner, bCorner;
        toSource(from, y, aCorner, bCorner);
        for (int x = from; x <= to; ++x, aCorner += da, bCorner += db) {
            const double a = aCorner + centreA;
            const double b = bCorner + centreB;
            if (a < 0.0 || a >= 1.0 || b < 0.0 || b >= 1.0) continue;
            if (k == 1) {
                const double sa = std::clamp(aCorner + subA[0], 0.0, 1.0);
                const double sb = std::clamp(bCorner + subB[0], 0.0, 1.0);
                out[x] = 0xFF000000u | sampler.sample(srcRect.x() + sa * w - 0.5, srcRect.y() + sb * h - 0.5);
                continue;
            }
            std::uint32_t acc[3] = {0, 0, 0};
            for (int s = 0; s < k * k; ++s) {
                const double sa = std::clamp(aCorner + subA[s], 0.0, 1.0);
                const double sb = std::clamp(bCorner + subB[s], 0.0, 1.0);
                const std::uint32_t p = sampler.sample(srcRect.x() + sa * w - 0.5, srcRect.y() + sb * h - 0.5);
                acc[0] += (p >> 16) & 0xFF;
                acc[1] += (p >> 8) & 0xFF;
                acc[2] += p & 0xFF;
            }
            const auto n = static_cast<std::uint32_t>(k * k);
            out[x] =
                0xFF000000u | (((acc[0] + n / 2) / n) << 16) | (((acc[1] + n / 2) / n) << 8) | ((acc[2] + n / 2) / n);
        }
    }
    return true;
}

void Bitmap::drawLine(const QPoint& from, const QPoint& to, ColourRef colour) {
    if (isNull()) return;
    const std::uint32_t p = pixelFromColourRef(colour);
    long x = clampCoordinate(from.x()), y = clampCoordinate(from.y());
    const long x1 = clampCoordinate(to.x()), y1 = clampCoordinate(to.y());
    const long dx = std::labs(x1 - x), dy = -std::labs(y1 - y);
    const long sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
    long err = dx + dy;
    const int w = image_.width(), h = image_.height();
    while (x != x1 || y != y1) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            reinterpret_cast<std::uint32_t*>(image_.scanLine(static_cast<int>(y)))[x] = p;
        const long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

Bitmap Bitmap::scaled(int width, int height) const {
    Bitmap out;
    if (isNull() || width <= 0 || height <= 0) return out;
    out.image_ = image_.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    return out;
}

void Bitmap::drawLine(const QPoint& from, const QPoint& to, const Pen& pen) {
    if (pen.width <= 1) {
        drawLine(from, to, pen.colour);
        return;
    }
    if (isNull()) return;
    const QPoint a(clampCoordinate(from.x()), clampCoordinate(from.y()));
    const QPoint b(clampCoordinate(to.x()), clampCoordinate(to.y()));
    QPainter p(&image_);
    p.setPen(pen.toQPen());
    p.drawLine(a, b);
}

void Bitmap::gradientFillH(int x1, int y1, int x2, int y2, ColourRef c1, ColourRef c2) {
    if (isNull()) return;
    if (x2 < x1) {
        std::swap(x1, x2);
        std::swap(c1, c2);
    }
    if (y2 < y1) std::swap(y1, y2);
    if (x1 == x2 || y1 == y2) return;
    const long span = static_cast<long>(x2) - x1;
    const int top = std::max(0, y1), bottom = std::min(image_.height(), y2);
    const int left = std::max(0, x1), right = std::min(image_.width(), x2);
    if (top >= bottom || left >= right) return;
    // 16-bit channels as the system interpolates them, truncated back to 8 bits.
    const auto interp = [span](int a, int b, long t) {
        const long v = (static_cast<long>(a) << 8) + ((static_cast<long>(b - a) << 8) * t) / span;
        return static_cast<std::uint32_t>(std::clamp<long>(v >> 8, 0, 255));
    };
    std::vector<std::uint32_t> row(static_cast<std::size_t>(right - left));
    for (int x = left; x < right; ++x) {
        const long t = x - x1;
        row[static_cast<std::size_t>(x - left)] = 0xFF000000u | (interp(redOf(c1), redOf(c2), t) << 16) |
                                                  (interp(greenOf(c1), greenOf(c2), t) << 8) |
                                                  interp(blueOf(c1), blueOf(c2), t);
    }
    for (int y = top; y < bottom; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(image_.scanLine(y)) + left;
        std::copy(row.begin(), row.end(), out);
    }
}

void Bitmap::fillRegion(const Region& region, ColourRef colour) {
    for (const QRect& r : region.qregion()) fillRect(r, colour);
}

void Bitmap::frameRegion(const Region& region, ColourRef colour, int width, int height) {
    const QRegion& r = region.qregion();
    const QRegion inner = r.intersected(r.translated(width, 0))
                              .intersected(r.translated(-width, 0))
                              .intersected(r.translated(0, height))
                              .intersected(r.translated(0, -height));
    for (const QRect& part : r.subtracted(inner)) fillRect(part, colour);
}

void Bitmap::drawText(const Font& font, const QPoint& pos, const QString& text, ColourRef colour) {
    if (text.isEmpty()) return;
    if (isNull()) return;
    QPainter p(&image_);
    p.setFont(font.qfont());
    p.setPen(toQColor(colour));
    p.setBackgroundMode(Qt::TransparentMode);
    if (font.escapement() != 0) {
        p.translate(pos);
        p.rotate(-font.escapement());
        p.drawText(QPoint(0, font.ascent()), text);
    } else {
        p.drawText(QPoint(pos.x(), pos.y() + font.ascent()), text);
    }
}

QPainter Bitmap::painter() { return QPainter(&image_); }

void paintBitmap(QPainter& painter, const QPoint& dst, const Bitmap& bitmap, const QRect& srcRect) {
    if (bitmap.isNull() || srcRect.isEmpty()) return;
    painter.drawImage(dst, bitmap.image(), srcRect);
}

void paintMasked(QPainter& painter, const QPoint& dst, const Bitmap& mask, const Bitmap& image) {
    const int w = std::min(mask.width(), image.width());
    const int h = std::min(mask.height(), image.height());
    if (w <= 0 || h <= 0) return;
    // The window's background is not known here, so the mask becomes transparency.
    QImage shape(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(shape.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = (mask.pixel(x, y) & 0xFFFFFF) == 0 ? image.image().pixel(x, y) | 0xFF000000u : 0;
    }
    painter.drawImage(dst, shape);
}

}  // namespace gui
