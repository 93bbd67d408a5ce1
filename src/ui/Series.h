// One curve of the speed-curve graph: a rolling point buffer and the series that draws
// it into its own bitmap, as a sweeping line (the trace restarts at the left edge and
// erases the old trace just ahead of the new point) or as histogram bars (values
// counted in buckets of the horizontal axis' division width).
//
// A series owns its canvas, bitmap, shape and point buffer and borrows its two axes
// (the graph window owns them). GUI thread only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include <QRect>

#include "ui/GraphAxes.h"

class ISeriesContainer {
public:
    virtual ~ISeriesContainer() = default;
    virtual int Add(std::int32_t x, double y) = 0;
    virtual double CountInRange(double a, double b) const = 0;
    virtual std::pair<double, double> GetPoint(std::size_t index) const = 0;
    virtual int Clear() = 0;
    virtual int SetCapacity(std::uint32_t n) = 0;
    virtual std::size_t GetCount() const = 0;
};

// Keeps the newest capacity points (SetCapacity(n) makes that n + 1).
class CSeriesContainer : public ISeriesContainer {
public:
    int Add(std::int32_t x, double y) override;
    // b <= 0: the y value at index a (0 for an index outside the buffer); b > 0: how
    // many y values v lie in a < v <= b.
    double CountInRange(double a, double b) const override;
    // (0, 0) for an index outside the buffer.
    std::pair<double, double> GetPoint(std::size_t index) const override;
    int Clear() override;
    int SetCapacity(std::uint32_t n) override;
    std::size_t GetCount() const override { return y_.size(); }

private:
    std::deque<double> x_;
    std::deque<double> y_;
    std::uint64_t capacity_ = 0;
};

// Where a series bitmap may hold ink: for each column, the blocks of rows that may.
// Outside them the bitmap is white, so erasing and composing need to touch only those
// rows: a trace covers a few rows of each column (a line left on the bottom row, which
// the sweep never erases, is one more block), and a whole bitmap is costly to run over
// at every tick. Unknown until the whole bitmap is whitened.
class CInkColumns {
public:
    static constexpr int kBlocks = 64;
    void Forget() { known_ = false; }
    void Clear(int width, int height);  // the whole bitmap is white
    bool Known() const { return known_; }
    // Known to hold no ink anywhere on a width x height bitmap: all of it is white.
    bool Blank(int width, int height) const;
    int Width() const { return static_cast<int>(columns_.size()); }
    int BlockRows() const { return blockRows_; }
    void Mark(const QRect& r);      // r may hold ink now
    void Whitened(const QRect& r);  // r is white now
    // Bit b: rows [b * BlockRows(), (b + 1) * BlockRows()) may hold ink; 0 outside.
    std::uint64_t At(int column) const;
    // The rows of blocks set in bits, as runs [top, bottom] below limit.
    template <class F>
    static void ForEachRun(std::uint64_t bits, int blockRows, int limit, F&& f)
    {
        while (bits != 0) {
            const int first = __builtin_ctzll(bits);
            const std::uint64_t rest = ~(bits >> first);
            const int length = rest == 0 ? kBlocks - first : __builtin_ctzll(rest);
            f(first * blockRows, std::min(limit, (first + length) * blockRows) - 1);
            bits = length + first >= kBlocks ? 0 : bits & ~(((std::uint64_t{1} << length) - 1) << first);
        }
    }
    // The blocks of rows [top, bottom] of a bitmap blockRows to the block.
    static std::uint64_t Blocks(int top, int bottom, int blockRows);

private:
    std::vector<std::uint64_t> columns_;
    int height_ = 0;
    int blockRows_ = 1;
    bool known_ = false;
};

class ISeries : public IGraphics {
public:
    virtual int SetShape(IDrawingObject* shape) = 0;
    virtual int SetHorizontalAxis(IAxis* axis) = 0;
    virtual int SetVerticalAxis(IAxis* axis) = 0;
    virtual int SetContainer(ISeriesContainer* container) = 0;
    virtual IBitmapComponent* GetBitmap() const = 0;
    virtual int Reset() = 0;
    virtual int SetPosition(int x, int y) = 0;
    virtual QPoint GetPosition() const = 0;
    virtual int GetKind() const = 0;
    virtual int GetLastPoint(int* x, int* y) const = 0;
    virtual int IsWrapped() const = 0;
    virtual int AddValue(int x, int y) = 0;
    virtual int Erase(int flag, const QRect& rect) = 0;
};

class CDerivedSeries : public ISeries {
public:
    static constexpr int kSweep = 1;
    static constexpr int kBars = 2;
    static constexpr int kInitialEraseWidth = 100;

    explicit CDerivedSeries(int kind);
    ~CDerivedSeries() override;

    int SetCanvas(IDdbCanvas* canvas) override;  // owned
    IDdbCanvas* GetCanvas() const override { return canvas_.get(); }
    // Full redraw from the buffer.
    int Draw() override;
    int SetBitmap(IBitmapComponent* bitmap) override;  // owned
    int SetShape(IDrawingObject* shape) override;      // owned
    int SetHorizontalAxis(IAxis* axis) override;       // borrowed
    int SetVerticalAxis(IAxis* axis) override;         // borrowed
    int SetContainer(ISeriesContainer* container) override;  // owned
    IBitmapComponent* GetBitmap() const override { return bitmap_.get(); }
    int Reset() override;
    int SetPosition(int x, int y) override;
    QPoint GetPosition() const override { return QPoint(x_, y_); }
    int GetKind() const override { return kind_; }
    int GetLastPoint(int* x, int* y) const override;
    int IsWrapped() const override { return wrapped_; }
    // Adds a point and draws only what it changes. Bars need divisions above 0:
    // otherwise the value is kept but no bar is drawn (0).
    int AddValue(int x, int y) override;
    // Flag 0 fills rect white; otherwise clears the left-most column.
    int Erase(int flag, const QRect& rect) override;

    int EraseWidth() const { return eraseWidth_; }
    const ISeriesContainer* Container() const { return container_.get(); }
    IAxis* HorizontalAxis() const { return horizontal_; }
    const IDrawingObject* Shape() const { return shape_.get(); }
    // Where the bitmap may hold ink; null while that is not known (bars, or no whole
    // erase yet).
    const CInkColumns* Ink() const { return ink_.Known() ? &ink_ : nullptr; }

private:
    int X(double v) const;
    int Y(double v) const;
    int DrawBar(std::int64_t start, std::int64_t width);
    int DrawShape();  // the shape's newest part, its ink noted

    // Declared so that the bitmap goes before the canvas whose context it borrows.
    std::unique_ptr<IDdbCanvas> canvas_;
    std::unique_ptr<IBitmapComponent> bitmap_;
    std::unique_ptr<IDrawingObject> shape_;
    IAxis* horizontal_ = nullptr;
    IAxis* vertical_ = nullptr;
    std::unique_ptr<ISeriesContainer> container_;
    int x_ = 0;
    int y_ = 0;
    int kind_ = 0;
    int lastX_ = 0;
    double lastY_ = 0;
    int wrapped_ = 0;
    bool freshTrace_ = true;  // the next point starts the trace: no segment leads to it
    int eraseWidth_ = kInitialEraseWidth;
    CInkColumns ink_;
};
