#include "ui/GraphAxes.h"

#include <algorithm>
#include <cmath>

#include "platform/core/Debug.h"

namespace graphaxes {

int TickStep(bool vertical, std::int32_t minimum, std::int32_t maximum, std::int32_t divisions)
{
    static constexpr struct {
        std::int32_t upTo;
        std::int32_t step;
    } kVertical[] = {{10, 1},      {20, 2},       {50, 5},       {100, 10},     {200, 20},
                     {500, 50},    {1000, 100},   {2000, 200},   {5000, 500},   {10000, 1000},
                     {20000, 2000}, {25000, 2500}, {30000, 3000}, {40000, 4000}};
    std::int64_t step = divisions;
    if (vertical) {
        for (const auto& row : kVertical) {
            if (maximum <= row.upTo) {
                step = row.step;
                break;
            }
        }
    }
    if (step == 0) step = (static_cast<std::int64_t>(maximum) - minimum) / 10;
    if (step <= 0) step = 1;  // a small, empty or inverted range, or negative divisions
    return static_cast<int>(std::min<std::int64_t>(step, INT32_MAX));
}

namespace {

int Truncate(double v)
{
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(v, -static_cast<double>(kPixelLimit), static_cast<double>(kPixelLimit)));
}

}  // namespace
}  // namespace graphaxes

// ---- decoder ------------------------------------------------------------------------

int CDerivedPixelDecoder::Init(CRangeRecord* range, int pixels, int inverted)
{
    range_ = range;
    pixels_ = pixels;
    inverted_ = inverted;
    if (pixels <= 0) {
        platform::debugOut("IDecoder::CDerivedPixelDecoder : Invalid pixel value\n");
        return 0;
    }
    if (range == nullptr) {
        platform::debugOut("IDecoder::CDerivedPixelDecoder : Invalid range_ptr value\n");
        return 0;
    }
    scale_ = ComputeScale();
    if (range->divisions == 0) range->divisions = static_cast<std::int32_t>((static_cast<std::int64_t>(range->maximum) - range->minimum) / 20);
    return range->maximum >= range->minimum ? 1 : 0;
}

int CDerivedPixelDecoder::SetDivisions(int divisions)
{
    if (range_ == nullptr) return 0;
    range_->divisions = divisions != 0
                            ? divisions
                            : static_cast<std::int32_t>((static_cast<std::int64_t>(range_->maximum) - range_->minimum) / 20);
    return 1;
}

int CDerivedPixelDecoder::Recalculate()
{
    scale_ = ComputeScale();
    return range_ != nullptr && range_->maximum >= range_->minimum ? 1 : 0;
}

double CDerivedPixelDecoder::ComputeScale() const
{
    if (range_ == nullptr) return 0;
    const double span = static_cast<double>(range_->maximum) - range_->minimum;
    return span > 0 ? pixels_ / span : 0;
}

int CDerivedPixelDecoder::ValueToPixel(double value) const
{
    const double offset = scale_ * (value - GetMinimum());
    return graphaxes::Truncate(inverted_ ? pixels_ - offset : offset);
}

int CDerivedPixelDecoder::PixelToValue(int pixel) const
{
    if (scale_ <= 0) return GetMinimum();
    const double v = inverted_ ? GetMaximum() - pixel / scale_ : pixel / scale_ + GetMinimum();
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(v, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
}

// ---- axis ---------------------------------------------------------------------------

CDerivedAxis::~CDerivedAxis() = default;

int CDerivedAxis::SetCanvas(IDdbCanvas* canvas)
{
    // A bitmap never outlives the canvas it was attached to.
    if (canvas_ && canvas != canvas_.get()) bitmap_.reset();
    canvas_.reset(canvas);
    return canvas != nullptr;
}

int CDerivedAxis::SetBitmap(IBitmapComponent* bitmap)
{
    bitmap_.reset(bitmap);
    return bitmap != nullptr;
}

int CDerivedAxis::SetOrigin(int x, int y)
{
    originX_ = x;
    originY_ = y;
    return x != 0 || y != 0;
}

int CDerivedAxis::SetOffset(int x, int y)
{
    offsetX_ = x;
    offsetY_ = y;
    return x != 0 || y != 0;
}

int CDerivedAxis::SetLine(IDrawingObject* line)
{
    line_ = line;
    return line != nullptr;
}

int CDerivedAxis::SetLabel(IDrawingObject* text)
{
    label_ = text;
    return text != nullptr;
}

int CDerivedAxis::SetTitle(IDrawingObject* text)
{
    title_.reset(text);
    return text != nullptr;
}

int CDerivedAxis::SetDecoder(IDecoder* decoder)
{
    decoder_.reset(decoder);
    return decoder != nullptr;
}

int CDerivedAxis::Draw()
{
    if (gui::Bitmap* surface = SurfaceOf(canvas_.get())) {
        int w = 0, h = 0;
        if (bitmap_) bitmap_->GetSize(&w, &h);
        surface->fillRect(QRect(0, 0, w, h), 0xFFFFFF);
    }
    if (line_ != nullptr) DrawTicks();
    if (title_) title_->Draw(canvas_.get(), 0);
    return 1;
}

int CDerivedAxis::DrawTicks()
{
    if (decoder_ == nullptr || line_ == nullptr) return 0;
    const bool vertical = decoder_->IsInverted() != 0;
    const std::int32_t minimum = decoder_->GetMinimum();
    const std::int32_t maximum = decoder_->GetMaximum();
    const int step = graphaxes::TickStep(vertical, minimum, maximum, decoder_->GetDivisions());
    decoder_->Recalculate();
    IDdbCanvas* canvas = canvas_.get();
    const int labelEvery = vertical ? 1 : HorizontalLabelStride(minimum, maximum, step);
    int ticks = 0;
    for (std::int64_t v = minimum; v <= maximum && ticks < graphaxes::kMaxTicks; v += step, ++ticks) {
        const int value = static_cast<int>(v);
        if (vertical) {
            const int p = decoder_->ValueToPixel(value) + offsetY_;
            DrawLabel(offsetX_ - 16, p, value);
            line_->AddPoint(offsetX_, p, 0);
            line_->AddPoint(offsetX_ + 10, p, 0);
        } else {
            const int p = decoder_->ValueToPixel(value) + offsetX_;
            if (ticks % labelEvery == 0) DrawLabel(p, offsetY_ + 17, value);
            line_->AddPoint(p, offsetY_, 0);
            line_->AddPoint(p, offsetY_ + 10, 0);
        }
        line_->Draw(canvas, 2);
    }
    const int length = decoder_->GetPixelLength();
    if (vertical) {
        line_->AddPoint(offsetX_ + 10, offsetY_, 0);
        line_->AddPoint(offsetX_ + 10, offsetY_ + length, 0);
    } else {
        line_->AddPoint(offsetX_, offsetY_, 0);
        line_->AddPoint(offsetX_ + length, offsetY_, 0);
    }
    line_->Draw(canvas, 2);
    return 1;
}

int CDerivedAxis::HorizontalLabelStride(std::int32_t minimum, std::int32_t maximum, int step) const
{
    // Labels wider than the room between ticks would run into each other: label every
    // n-th tick instead (the ticks themselves all stay).
    auto* text = dynamic_cast<CText*>(label_);
    if (text == nullptr || step <= 0 || static_cast<std::int64_t>(minimum) + step > maximum) return 1;
    const int room = std::abs(decoder_->ValueToPixel(static_cast<int>(minimum + step)) - decoder_->ValueToPixel(minimum));
    const int widest = std::max(text->Extent(QString::number(minimum)).width(),
                                text->Extent(QString::number(maximum)).width()) + 6;
    if (room <= 0) return 1;
    return std::max(1, (widest + room - 1) / room);
}

int CDerivedAxis::DrawLabel(int x, int y, int value)
{
    auto* text = dynamic_cast<CText*>(label_);
    if (text == nullptr) return 0;
    text->SetPosition(x, y, 0);
    text->DrawString(canvas_.get(), QString::number(value), 0);
    return 1;
}

// ---- plot area ----------------------------------------------------------------------

int CDerivedPlotArea::SetCanvas(IDdbCanvas* canvas)
{
    canvas_ = canvas;
    return canvas != nullptr;
}

int CDerivedPlotArea::SetBitmap(IBitmapComponent* bitmap)
{
    bitmap_ = bitmap;
    return bitmap != nullptr;
}

int CDerivedPlotArea::SetLine(IDrawingObject* line)
{
    line_ = line;
    return line != nullptr;
}

int CDerivedPlotArea::SetHorizontalAxis(IAxis* axis)
{
    horizontal_ = axis;
    return axis != nullptr;
}

int CDerivedPlotArea::SetVerticalAxis(IAxis* axis)
{
    vertical_ = axis;
    return axis != nullptr;
}

int CDerivedPlotArea::SetPosition(int x, int y)
{
    x_ = x;
    y_ = y;
    return static_cast<long long>(x) * y > 0;
}

int CDerivedPlotArea::Draw()
{
    if (horizontal_ == nullptr || vertical_ == nullptr) return 0;
    IDecoder* xd = horizontal_->GetDecoder();
    IDecoder* yd = vertical_->GetDecoder();
    if (xd == nullptr || yd == nullptr) return 0;
    const std::int32_t xMin = xd->GetMinimum(), xMax = xd->GetMaximum();
    const std::int32_t yMin = yd->GetMinimum(), yMax = yd->GetMaximum();
    if (gui::Bitmap* surface = SurfaceOf(canvas_)) {
        surface->fillRect(QRect(0, 0, xd->GetPixelLength(), yd->GetPixelLength()), 0xFFFFFF);
    }
    if (line_ == nullptr) return 1;
    const int yStep = graphaxes::TickStep(true, yMin, yMax, yd->GetDivisions());
    const int xStep = graphaxes::TickStep(false, xMin, xMax, xd->GetDivisions());
    xd->Recalculate();
    int lines = 0;
    for (std::int64_t x = xMin; x <= xMax && lines < graphaxes::kMaxTicks; x += xStep, ++lines) {
        const int px = xd->ValueToPixel(static_cast<double>(x));
        line_->AddPoint(px, yd->ValueToPixel(yMin), 0);
        line_->AddPoint(px, yd->ValueToPixel(yMax), 0);
        line_->Draw(canvas_, 2);
    }
    lines = 0;
    for (std::int64_t y = yMin; y <= yMax && lines < graphaxes::kMaxTicks; y += yStep, ++lines) {
        const int py = yd->ValueToPixel(static_cast<double>(y));
        line_->AddPoint(xd->ValueToPixel(xMin), py, 0);
        line_->AddPoint(xd->ValueToPixel(xMax), py, 0);
        line_->Draw(canvas_, 2);
    }
    line_->Draw(canvas_, 0);
    return 1;
}
