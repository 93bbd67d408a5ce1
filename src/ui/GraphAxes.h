// The graph's value-to-pixel mapping (the pixel decoder), its axes with ticks and
// numeric labels, and the plot area's background grid.
//
// A decoder borrows its range record (the graph window owns the records) and reads it
// again at every Recalculate, so a changed range takes effect at the next drawing.
// Each axis owns its canvas, bitmap, title and decoder and borrows the tick line and
// label text that the graph window shares between all axes. The plot area owns
// nothing. GUI thread only.
//
// Degenerate input never hangs or divides by zero: a range whose maximum is not above
// its minimum maps every value onto the base line (a flat line), a step of 0 or below
// after the fallbacks becomes 1, and no axis or grid draws more than kMaxTicks lines.
#pragma once

#include <cstdint>
#include <memory>

#include "ui/DrawingObjects.h"

// {minimum, maximum, divisions}; divisions 0 means "choose a step from the range".
struct CRangeRecord {
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t divisions = 0;
};

namespace graphaxes {
// Most ticks, labels or grid lines one drawing makes.
inline constexpr int kMaxTicks = 1000;
// Pixel results are kept within this, whatever the range.
inline constexpr int kPixelLimit = 1000000;

// The tick (and grid) step of an axis. Vertical axes choose by the range maximum from
// a table (above 40000: the divisions); horizontal axes use the divisions. A step of 0
// becomes (maximum - minimum) / 10, and anything still not above 0 becomes 1.
int TickStep(bool vertical, std::int32_t minimum, std::int32_t maximum, std::int32_t divisions);
}  // namespace graphaxes

class IDecoder {
public:
    virtual ~IDecoder() = default;
    virtual int Init(CRangeRecord* range, int pixels, int inverted) = 0;
    virtual int SetDivisions(int divisions) = 0;
    virtual int Recalculate() = 0;
    virtual int ValueToPixel(double value) const = 0;
    virtual int PixelToValue(int pixel) const = 0;
    virtual std::int32_t GetMaximum() const = 0;
    virtual std::int32_t GetMinimum() const = 0;
    virtual std::int32_t GetDivisions() const = 0;
    virtual int GetPixelLength() const = 0;
    virtual int IsInverted() const = 0;
    virtual double ComputeScale() const = 0;
};

class CDerivedPixelDecoder : public IDecoder {
public:
    // Fails (with a debug line) for pixels <= 0, keeping the old scale, or a null
    // range; also 0 for a range whose maximum lies below its minimum.
    int Init(CRangeRecord* range, int pixels, int inverted) override;
    int SetDivisions(int divisions) override;
    int Recalculate() override;
    // Truncated toward zero, kept within +-graphaxes::kPixelLimit.
    int ValueToPixel(double value) const override;
    int PixelToValue(int pixel) const override;
    std::int32_t GetMaximum() const override { return range_ != nullptr ? range_->maximum : 0; }
    std::int32_t GetMinimum() const override { return range_ != nullptr ? range_->minimum : 0; }
    std::int32_t GetDivisions() const override { return range_ != nullptr ? range_->divisions : 0; }
    int GetPixelLength() const override { return pixels_; }
    int IsInverted() const override { return inverted_; }
    // pixels / (maximum - minimum); 0 when the span is not positive.
    double ComputeScale() const override;
    double Scale() const { return scale_; }

private:
    CRangeRecord* range_ = nullptr;
    double scale_ = 0;
    int pixels_ = 0;
    int inverted_ = 0;
};

class IGraphics {
public:
    virtual ~IGraphics() = default;
    virtual int SetCanvas(IDdbCanvas* canvas) = 0;
    virtual IDdbCanvas* GetCanvas() const = 0;
    virtual int Draw() = 0;
    virtual int SetBitmap(IBitmapComponent* bitmap) = 0;
};

class IAxis : public IGraphics {
public:
    virtual IBitmapComponent* GetBitmap() const = 0;
    virtual IDrawingObject* GetTitle() const = 0;
    virtual int SetOrigin(int x, int y) = 0;
    virtual int SetOffset(int x, int y) = 0;
    virtual QPoint GetOrigin() const = 0;
    virtual int SetLine(IDrawingObject* line) = 0;
    virtual int SetLabel(IDrawingObject* text) = 0;
    virtual int SetTitle(IDrawingObject* text) = 0;
    virtual int SetDecoder(IDecoder* decoder) = 0;
    virtual IDecoder* GetDecoder() const = 0;
    virtual int DrawTicks() = 0;
    virtual int DrawLabel(int x, int y, int value) = 0;
};

// Takes ownership of the canvas, bitmap, title and decoder it is given; borrows the
// tick line and the label text.
class CDerivedAxis : public IAxis {
public:
    ~CDerivedAxis() override;
    int SetCanvas(IDdbCanvas* canvas) override;
    IDdbCanvas* GetCanvas() const override { return canvas_.get(); }
    // Fills the bitmap white, draws the ticks (with a tick line) and the title.
    int Draw() override;
    int SetBitmap(IBitmapComponent* bitmap) override;
    IBitmapComponent* GetBitmap() const override { return bitmap_.get(); }
    IDrawingObject* GetTitle() const override { return title_.get(); }
    int SetOrigin(int x, int y) override;
    int SetOffset(int x, int y) override;
    QPoint GetOrigin() const override { return QPoint(originX_, originY_); }
    int SetLine(IDrawingObject* line) override;
    int SetLabel(IDrawingObject* text) override;  // only a CText draws labels
    int SetTitle(IDrawingObject* text) override;
    int SetDecoder(IDecoder* decoder) override;
    IDecoder* GetDecoder() const override { return decoder_.get(); }
    int DrawTicks() override;
    int DrawLabel(int x, int y, int value) override;

private:
    // Every how many ticks a horizontal axis is labelled so that labels do not overlap.
    int HorizontalLabelStride(std::int32_t minimum, std::int32_t maximum, int step) const;

    // Declared so that the bitmap goes before the canvas whose context it borrows.
    std::unique_ptr<IDdbCanvas> canvas_;
    std::unique_ptr<IBitmapComponent> bitmap_;
    IDrawingObject* line_ = nullptr;
    IDrawingObject* label_ = nullptr;
    std::unique_ptr<IDrawingObject> title_;
    std::unique_ptr<IDecoder> decoder_;
    int originX_ = 0;
    int originY_ = 0;
    int offsetX_ = 0;
    int offsetY_ = 0;
};

class IPlotarea : public IGraphics {
public:
    virtual int SetLine(IDrawingObject* line) = 0;
    virtual int SetHorizontalAxis(IAxis* axis) = 0;
    virtual int SetVerticalAxis(IAxis* axis) = 0;
    virtual IBitmapComponent* GetBitmap() const = 0;
    virtual int SetPosition(int x, int y) = 0;
    virtual QPoint GetPosition() const = 0;
};

// Borrows everything it is given.
class CDerivedPlotArea : public IPlotarea {
public:
    int SetCanvas(IDdbCanvas* canvas) override;
    IDdbCanvas* GetCanvas() const override { return canvas_; }
    // The grid over the current axes; 0 without both axes.
    int Draw() override;
    int SetBitmap(IBitmapComponent* bitmap) override;
    int SetLine(IDrawingObject* line) override;
    int SetHorizontalAxis(IAxis* axis) override;
    int SetVerticalAxis(IAxis* axis) override;
    IBitmapComponent* GetBitmap() const override { return bitmap_; }
    int SetPosition(int x, int y) override;
    QPoint GetPosition() const override { return QPoint(x_, y_); }

private:
    IDdbCanvas* canvas_ = nullptr;
    IBitmapComponent* bitmap_ = nullptr;
    IDrawingObject* line_ = nullptr;
    IAxis* horizontal_ = nullptr;
    IAxis* vertical_ = nullptr;
    int x_ = 0;
    int y_ = 0;
};
