#include "ui/DrawingObjects.h"

#include <algorithm>

#include "platform/core/Debug.h"

gui::Bitmap* SurfaceOf(IDdbCanvas* canvas)
{
    if (canvas == nullptr || canvas->GetDC() == nullptr) return nullptr;
    gui::Bitmap* b = canvas->GetDC()->Selected();
    return b != nullptr && !b->isNull() ? b : nullptr;
}

// ---- canvas -------------------------------------------------------------------------

CDerivedCanvas::CDerivedCanvas(gui::Handle window) { CreateDC(window); }

CDerivedCanvas::~CDerivedCanvas() = default;

CMemoryDC* CDerivedCanvas::CreateDC(gui::Handle)
{
    dc_ = std::make_unique<CMemoryDC>();
    return dc_.get();
}

// ---- bitmap -------------------------------------------------------------------------

CDdbBitmap::CDdbBitmap(gui::Handle owner, gui::ColourRef background) : owner_(owner), background_(background) {}

CDdbBitmap::~CDdbBitmap() { Release(); }

int CDdbBitmap::SetSize(int width, int height)
{
    if (bitmap_) Release();
    width_ = width;
    height_ = height;
    if (static_cast<long long>(width) * height == 0) {
        platform::debugOut("IDrawingObject::CDdbBitmap : Invalid Size\n");
        return 0;
    }
    return Create();
}

int CDdbBitmap::Attach(IDdbCanvas* canvas)
{
    if (canvas == nullptr) {
        platform::debugOut("IDrawingObject::CDdbBitmap : Invalid Owner Canvas\n");
        return 0;
    }
    CMemoryDC* dc = canvas->GetDC();
    // A bitmap SetSize made and no canvas holds is the one a new one would be: it is
    // selected and filled with the background, as Create does.
    const bool reuse = dc != nullptr && bitmap_ && bitmap_->size() == QSize(width_, height_) &&
                       (dc_ == nullptr || dc_->Selected() != bitmap_.get());
    if (bitmap_ && !reuse) Release();
    dc_ = dc;
    if (dc_ == nullptr) {
        platform::debugOut("IDrawingObject::CDdbBitmap : Invalid HDC value\n");
        return 0;
    }
    if (!reuse) return Create();
    previous_ = dc_->Select(bitmap_.get());
    bitmap_->fill(background_);
    return 1;
}

int CDdbBitmap::GetSize(int* width, int* height) const
{
    if (width == nullptr || height == nullptr) return 0;
    *width = width_;
    *height = height_;
    return 1;
}

int CDdbBitmap::Create()
{
    if (bitmap_) {
        platform::debugOut("IDrawingObject::CDdbBitmap : Uninitialize error\n");
        return 0;
    }
    auto made = std::make_unique<gui::Bitmap>();
    // A negative size (a client area too small for the graph) makes no bitmap.
    // Selected into a canvas it starts as the background, else black.
    if (!made->create(width_, height_, dc_ != nullptr ? background_ : 0)) return 0;
    bitmap_ = std::move(made);
    if (dc_ != nullptr) previous_ = dc_->Select(bitmap_.get());
    return 1;
}

int CDdbBitmap::Release()
{
    if (dc_ != nullptr && bitmap_ && dc_->Selected() == bitmap_.get()) dc_->Select(previous_);
    previous_ = nullptr;
    bitmap_.reset();
    return 1;
}

// ---- line ---------------------------------------------------------------------------

CLine::CLine(gui::ColourRef colour) : pen_{colour, 1} { points_.push_back(QPoint(0, 0)); }

int CLine::AddPoint(int x, int y, int mode)
{
    if ((mode & 0xFFFF) == 2) points_.clear();
    points_.push_back(QPoint(x, y));
    while (points_.size() > kMaxPoints) points_.pop_front();
    return 1;
}

int CLine::Draw(IDdbCanvas* canvas, int mode)
{
    if (points_.empty()) return 0;
    const QPoint p0 = points_.back();
    QPoint p1 = points_.size() >= 2 ? points_[points_.size() - 2] : QPoint(0, 0);
    if (p0.x() >= p1.x()) {
        if (points_.size() == 1) p1 = QPoint(p0.x() - 6, p0.y());
    } else {
        p1.setX(0);  // the sweep restarted at the left edge
    }
    if (gui::Bitmap* surface = SurfaceOf(canvas)) surface->drawLine(p0, p1, pen_.colour);
    lastDrawn_ = QRect(QPoint(std::min(p0.x(), p1.x()), std::min(p0.y(), p1.y())),
                       QPoint(std::max(p0.x(), p1.x()), std::max(p0.y(), p1.y())));
    if (mode == 1) points_.pop_front();
    if (mode == 2) points_.clear();
    return 1;
}

// ---- bar ----------------------------------------------------------------------------

CRectangle::CRectangle(gui::ColourRef outline, gui::ColourRef fill) : pen_{outline, 1}, brush_{fill} {}

int CRectangle::AddPoint(int x, int y, int)
{
    points_.push_back(QPoint(x, y));
    while (points_.size() > 2) points_.pop_front();  // a bar only ever uses the last two
    return 1;
}

int CRectangle::Draw(IDdbCanvas* canvas, int)
{
    if (points_.empty()) return 0;
    const QPoint p0 = points_.back();
    const QPoint p1 = points_.size() >= 2 ? points_[points_.size() - 2] : QPoint(0, 0);
    points_.clear();
    int left = p1.x() + 2;
    const int top = p1.y();
    int right = p0.x() - 2;
    const int bottom = p0.y();
    // A slot narrower than the insets still shows its bar: its outline, one column in the
    // middle of the slot (many small buckets on a narrow plot).
    if (right < left && p0.x() > p1.x()) left = right = p1.x() + (p0.x() - p1.x()) / 2;
    gui::Bitmap* surface = SurfaceOf(canvas);
    if (surface == nullptr || right < left) return 1;
    surface->fillRect(QRect(left, top, right - left, bottom - top), brush_.colour);
    surface->drawLine(QPoint(left, bottom), QPoint(left, top), pen_.colour);
    surface->drawLine(QPoint(left, top), QPoint(right, top), pen_.colour);
    surface->drawLine(QPoint(right, top), QPoint(right, bottom), pen_.colour);
    return 1;
}

// ---- text ---------------------------------------------------------------------------

CText::CText(const QString& text, int height, int angle, gui::ColourRef colour)
    : font_(QStringLiteral("Arial"), height, 400, false, angle),
      colour_(colour),
      text_(text),
      hasText_(true),
      height_(height),
      angle_(angle)
{
}

CText::CText(int height, int angle, gui::ColourRef colour)
    : font_(QStringLiteral("Arial"), height, 400, false, angle), colour_(colour), height_(height), angle_(angle)
{
}

int CText::SetPosition(int x, int y, int)
{
    x_ = x;
    y_ = y;
    return 1;
}

int CText::SetText(const QString& text)
{
    text_ = text;
    hasText_ = true;
    return 1;
}

int CText::Draw(IDdbCanvas* canvas, int flag)
{
    if (!hasText_) return 0;
    return DrawString(canvas, text_, flag);
}

QPoint CText::TextOrigin(const QPoint& anchor, const QSize& extent, int angle)
{
    if (angle == 0) return QPoint(anchor.x() - extent.width() / 2, anchor.y() - extent.height() / 2);
    return QPoint(anchor.x() - extent.height() / 2, anchor.y() + extent.width() / 2);
}

QSize CText::Extent(const QString& text) const { return font_.textExtent(text); }

int CText::DrawString(IDdbCanvas* canvas, const QString& text, int flag)
{
    gui::Bitmap* surface = SurfaceOf(canvas);
    if (surface == nullptr) return 1;
    const QSize extent = font_.textExtent(text);
    const QPoint origin = TextOrigin(QPoint(x_, y_), extent, angle_);
    if (flag != 0) {
        const QRect box = angle_ == 0 ? QRect(origin, extent)
                                      : QRect(origin.x(), origin.y() - extent.width(), extent.height(), extent.width());
        surface->fillRect(box, 0x808080);
    }
    surface->drawText(font_, origin, text, colour_);
    return 1;
}
