#include "ui/Series.h"

#include <algorithm>
#include <cmath>

// ---- point buffer -------------------------------------------------------------------

int CSeriesContainer::Add(std::int32_t x, double y)
{
    x_.push_back(static_cast<double>(x));
    y_.push_back(y);
    while (y_.size() > capacity_) {
        x_.pop_front();
        y_.pop_front();
    }
    return 1;
}

double CSeriesContainer::CountInRange(double a, double b) const
{
    if (b <= 0) {
        if (!(a >= 0) || a >= static_cast<double>(y_.size())) return 0;
        return y_[static_cast<std::size_t>(a)];
    }
    std::size_t n = 0;
    for (const double v : y_) n += (v > a && v <= b) ? 1 : 0;
    return static_cast<double>(n);
}

std::pair<double, double> CSeriesContainer::GetPoint(std::size_t index) const
{
    if (index >= y_.size()) return {0, 0};
    return {x_[index], y_[index]};
}

int CSeriesContainer::Clear()
{
    x_.clear();
    y_.clear();
    return 1;
}

int CSeriesContainer::SetCapacity(std::uint32_t n)
{
    capacity_ = static_cast<std::uint64_t>(n) + 1;
    while (y_.size() > capacity_) {
        x_.pop_front();
        y_.pop_front();
    }
    return 1;
}

// ---- ink ----------------------------------------------------------------------------

void CInkColumns::Clear(int width, int height)
{
    columns_.assign(static_cast<std::size_t>(std::max(0, width)), 0);
    height_ = std::max(0, height);
    blockRows_ = std::max(1, (height_ + kBlocks - 1) / kBlocks);
    known_ = true;
}

std::uint64_t CInkColumns::Blocks(int top, int bottom, int blockRows)
{
    if (top > bottom || bottom < 0) return 0;
    const int first = std::max(0, top) / blockRows;
    const int last = std::min(kBlocks - 1, bottom / blockRows);
    if (first > last) return 0;
    const int n = last - first + 1;
    return (n >= kBlocks ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1)) << first;
}

void CInkColumns::Mark(const QRect& r)
{
    if (!known_) return;
    const QRect c = r.intersected(QRect(0, 0, Width(), height_));
    if (c.isEmpty()) return;
    const std::uint64_t bits = Blocks(c.top(), c.bottom(), blockRows_);
    for (int x = c.left(); x <= c.right(); ++x) columns_[static_cast<std::size_t>(x)] |= bits;
}

void CInkColumns::Whitened(const QRect& r)
{
    if (!known_) return;
    const QRect c = r.intersected(QRect(0, 0, Width(), height_));
    if (c.isEmpty()) return;
    // Only the blocks wholly whitened (the last block ends at the bitmap's bottom).
    const int first = (c.top() + blockRows_ - 1) / blockRows_;
    const int last = c.bottom() == height_ - 1 ? (height_ - 1) / blockRows_ : (c.bottom() + 1) / blockRows_ - 1;
    const std::uint64_t bits = Blocks(first * blockRows_, last * blockRows_, blockRows_);
    for (int x = c.left(); x <= c.right(); ++x) columns_[static_cast<std::size_t>(x)] &= ~bits;
}

bool CInkColumns::Blank(int width, int height) const
{
    return known_ && Width() == width && height_ == height &&
           std::all_of(columns_.begin(), columns_.end(), [](std::uint64_t c) { return c == 0; });
}

std::uint64_t CInkColumns::At(int column) const
{
    return column < 0 || column >= Width() ? 0 : columns_[static_cast<std::size_t>(column)];
}

// ---- series -------------------------------------------------------------------------

namespace {

IDecoder* DecoderOf(IAxis* axis) { return axis != nullptr ? axis->GetDecoder() : nullptr; }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

CDerivedSeries::CDerivedSeries(int kind) : kind_(kind) {}

CDerivedSeries::~CDerivedSeries() = default;

int CDerivedSeries::SetCanvas(IDdbCanvas* canvas)
{
    if (canvas_ && canvas != canvas_.get()) bitmap_.reset();  // never outlive the attached canvas
    canvas_.reset(canvas);
    ink_.Forget();
    return canvas != nullptr;
}

int CDerivedSeries::SetBitmap(IBitmapComponent* bitmap)
{
    bitmap_.reset(bitmap);
    ink_.Forget();
    return bitmap != nullptr;
}

int CDerivedSeries::SetShape(IDrawingObject* shape)
{
    shape_.reset(shape);
    freshTrace_ = true;
    return shape != nullptr;
}

int CDerivedSeries::SetHorizontalAxis(IAxis* axis)
{
    horizontal_ = axis;
    return axis != nullptr;
}

int CDerivedSeries::SetVerticalAxis(IAxis* axis)
{
    vertical_ = axis;
    return axis != nullptr;
}

int CDerivedSeries::SetContainer(ISeriesContainer* container)
{
    container_.reset(container);
    return container != nullptr;
}

int CDerivedSeries::SetPosition(int x, int y)
{
    x_ = x;
    y_ = y;
    return static_cast<long long>(x) * y > 0;
}

int CDerivedSeries::GetLastPoint(int* x, int* y) const
{
    if (x == nullptr || y == nullptr) return 0;
    *x = lastX_;
    *y = static_cast<int>(std::clamp(lastY_, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
    return 1;
}

int CDerivedSeries::X(double v) const
{
    IDecoder* d = DecoderOf(horizontal_);
    return d != nullptr ? d->ValueToPixel(v) : 0;
}

int CDerivedSeries::Y(double v) const
{
    IDecoder* d = DecoderOf(vertical_);
    return d != nullptr ? d->ValueToPixel(v) : 0;
}

int CDerivedSeries::Erase(int flag, const QRect& rect)
{
    gui::Bitmap* surface = SurfaceOf(canvas_.get());
    if (surface == nullptr) return 1;
    if (flag != 0) {
        surface->drawLine(QPoint(0, 0), QPoint(0, rect.bottom() + 1), 0xFFFFFF);
        ink_.Whitened(QRect(0, 0, 1, rect.bottom() + 1));
        return 1;
    }
    if (rect.width() <= 0 || rect.height() <= 0) return 1;  // an inverted rect is empty
    const QRect r = rect.intersected(surface->rect());
    if (r == surface->rect()) {
        // A series drawn again before any ink reached it (a page setting its graph up)
        // is white already.
        if (!ink_.Blank(r.width(), r.height())) surface->fillRect(r, 0xFFFFFF);
        ink_.Clear(r.width(), r.height());
        return 1;
    }
    if (!ink_.Known()) {
        surface->fillRect(r, 0xFFFFFF);
        return 1;
    }
    // Only the inked rows need whitening: the rest of the strip is white already.
    std::uint64_t inked = 0;
    for (int x = r.left(); x <= r.right(); ++x) inked |= ink_.At(x);
    CInkColumns::ForEachRun(inked, ink_.BlockRows(), r.bottom() + 1, [&](int top, int bottom) {
        const int from = std::max(top, r.top());
        if (from <= bottom) surface->fillRect(QRect(r.left(), from, r.width(), bottom - from + 1), 0xFFFFFF);
    });
    ink_.Whitened(r);
    return 1;
}

int CDerivedSeries::DrawShape()
{
    const int result = shape_->Draw(canvas_.get(), 0);
    if (const auto* line = dynamic_cast<const CLine*>(shape_.get())) ink_.Mark(line->LastDrawn());
    else ink_.Forget();
    return result;
}

namespace {

QRect WholeBitmap(const IBitmapComponent* bitmap)
{
    int w = 0, h = 0;
    if (bitmap != nullptr) bitmap->GetSize(&w, &h);
    return QRect(0, 0, std::max(0, w), std::max(0, h));
}

// Rectangle from (left, top, right, bottom) as the system writes them.
QRect Ltrb(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace

int CDerivedSeries::DrawBar(std::int64_t start, std::int64_t width)
{
    if (!shape_ || !container_) return 0;
    const auto n = static_cast<int>(container_->CountInRange(static_cast<double>(start), static_cast<double>(start + width)));
    shape_->AddPoint(X(static_cast<double>(start)), Y(n), 0);
    shape_->AddPoint(X(static_cast<double>(start + width)), Y(0), 0);
    return DrawShape();
}

int CDerivedSeries::AddValue(int x, int y)
{
    if (!container_) return 0;
    container_->Add(x, y);
    IDecoder* hd = DecoderOf(horizontal_);
    IDecoder* vd = DecoderOf(vertical_);
    int result = 0;
    if (kind_ == kBars) {
        const std::int64_t d = hd != nullptr ? hd->GetDivisions() : 0;
        // Bucket (start, start + d], the one that counts y (a value on a bucket edge
        // belongs to the bucket below that edge, as the full redraw counts it).
        if (d > 0) result = DrawBar((FloorDiv(static_cast<std::int64_t>(y) - 1, d)) * d, d);
    } else {
        if (shape_) shape_->AddPoint(X(x), Y(y), freshTrace_ ? 2 : 0);
        freshTrace_ = false;
        if (kind_ == kSweep && hd != nullptr) {
            const std::int64_t step = static_cast<std::int64_t>(x) - lastX_;
            if (step > 0 && step < eraseWidth_) eraseWidth_ = static_cast<int>(step);
            const int p = X(x);
            const int left = p - X(static_cast<double>(hd->GetMinimum()) + eraseWidth_) + 1;
            const int right = p == hd->GetPixelLength() ? p : p + 2;
            const int bottom = vd != nullptr ? vd->GetPixelLength() : 0;
            Erase(0, Ltrb(left, 0, right, bottom));
            if (x == hd->GetMaximum()) Erase(1, Ltrb(0, 0, 0, bottom));
        }
        result = shape_ ? DrawShape() : 0;
        if (kind_ == kSweep && hd != nullptr && x == hd->GetMaximum()) {
            wrapped_ = 1;
            container_->Add(hd->GetMinimum(), y);
        }
    }
    lastX_ = x;
    lastY_ = y;
    return result;
}

int CDerivedSeries::Reset()
{
    wrapped_ = 0;
    Erase(0, WholeBitmap(bitmap_.get()));
    if (container_) container_->Clear();
    // The next point starts a new trace, as in the full redraw: a segment from a
    // made-up restart point would run in from the plot's corner.
    freshTrace_ = true;
    IDecoder* hd = DecoderOf(horizontal_);
    eraseWidth_ = hd != nullptr ? hd->GetDivisions() : kInitialEraseWidth;
    return 1;
}

int CDerivedSeries::Draw()
{
    Erase(0, WholeBitmap(bitmap_.get()));
    if (!container_ || !shape_) return 1;
    IDecoder* hd = DecoderOf(horizontal_);
    if (kind_ == kBars) {
        const std::int64_t d = hd != nullptr ? hd->GetDivisions() : 0;
        if (d <= 0) return 1;  // no bucket width: nothing to count in
        int bars = 0;
        for (std::int64_t start = hd->GetMinimum(); start < hd->GetMaximum() && bars < graphaxes::kMaxTicks;
             start += d, ++bars) {
            DrawBar(start, d);
        }
        return 1;
    }
    int previous = 0;
    for (std::size_t i = 0; i < container_->GetCount(); ++i) {
        const auto [vx, vy] = container_->GetPoint(i);
        const int p = X(std::trunc(vx));
        const int q = Y(std::trunc(vy));
        shape_->AddPoint(p, q, i == 0 ? 2 : 0);
        if (previous <= p) DrawShape();
        previous = p;
    }
    return 1;
}
