// Off-screen drawing objects of the speed-curve graph: a canvas (the memory context a
// bitmap is selected into), the bitmap, a line, a filled bar and a text caption.
//
// Axes, plot area and series own such objects and tell them where to draw; the graph
// window finally copies its canvas to the screen. A canvas owns its memory context; a
// bitmap borrows the context of the canvas it is attached to, so a bitmap must be
// destroyed (or released) before its canvas. GUI thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "platform/gui/Drawing.h"
#include "platform/gui/Messages.h"

// What a memory context is here: the bitmap currently selected into it.
class CMemoryDC {
public:
    // Selects `bitmap`; returns the one selected before.
    gui::Bitmap* Select(gui::Bitmap* bitmap)
    {
        gui::Bitmap* previous = selected_;
        selected_ = bitmap;
        return previous;
    }
    gui::Bitmap* Selected() const { return selected_; }

private:
    gui::Bitmap* selected_ = nullptr;
};

class IDdbCanvas;

class IDrawingObject {
public:
    virtual ~IDrawingObject() = default;
    // Positions the object (x, y); what mode means depends on the object.
    virtual int AddPoint(int x, int y, int mode) = 0;
    virtual int Draw(IDdbCanvas* canvas, int mode) = 0;
};

class IBitmapComponent : public IDrawingObject {
public:
    virtual int SetSize(int width, int height) = 0;
    virtual int Attach(IDdbCanvas* canvas) = 0;
    virtual int GetSize(int* width, int* height) const = 0;
};

class IDdbCanvas {
public:
    virtual ~IDdbCanvas() = default;
    virtual CMemoryDC* GetDC() = 0;
};

// The bitmap selected into a canvas, or null.
gui::Bitmap* SurfaceOf(IDdbCanvas* canvas);

class CDerivedCanvas : public IDdbCanvas {
public:
    // The window only names what the context is compatible with; a memory context
    // needs no window here.
    explicit CDerivedCanvas(gui::Handle window = 0);
    ~CDerivedCanvas() override;
    CMemoryDC* GetDC() override { return dc_.get(); }
    virtual CMemoryDC* CreateDC(gui::Handle window);

private:
    std::unique_ptr<CMemoryDC> dc_;
};

// A bitmap of its own size, filled with its background colour when it is (re)made.
// SetSize, then Attach: each (re)creates the bitmap; Attach brings the context that
// makes it drawable.
class CDdbBitmap : public IBitmapComponent {
public:
    CDdbBitmap(gui::Handle owner, gui::ColourRef background);
    ~CDdbBitmap() override;

    int AddPoint(int, int, int) override { return 0; }
    int Draw(IDdbCanvas*, int) override { return 0; }
    int SetSize(int width, int height) override;
    int Attach(IDdbCanvas* canvas) override;
    int GetSize(int* width, int* height) const override;
    virtual int Create();
    virtual int Release();

    bool HasBitmap() const { return bitmap_ != nullptr; }

private:
    int width_ = 0;
    int height_ = 0;
    gui::Handle owner_ = 0;
    CMemoryDC* dc_ = nullptr;  // borrowed from the canvas
    std::unique_ptr<gui::Bitmap> bitmap_;
    gui::Bitmap* previous_ = nullptr;
    gui::ColourRef background_ = 0;
};

// A one-pixel line that draws only its newest segment. It starts holding (0, 0).
// Draw mode 1 drops the oldest point afterwards, mode 2 all points. Only the newest
// few points are kept: a line drawn with mode 0 every tick must not grow for ever.
class CLine : public IDrawingObject {
public:
    static constexpr std::size_t kMaxPoints = 16;

    explicit CLine(gui::ColourRef colour);
    // Mode 2 (low 16 bits) removes all points first.
    int AddPoint(int x, int y, int mode) override;
    int Draw(IDdbCanvas* canvas, int mode) override;
    const gui::Pen& GetPen() const { return pen_; }
    std::size_t PointCount() const { return points_.size(); }
    // The box that holds every pixel the last Draw set (empty before any).
    QRect LastDrawn() const { return lastDrawn_; }

private:
    gui::Pen pen_;
    std::deque<QPoint> points_;
    QRect lastDrawn_;
};

// A bar from the last two points: the upper left corner of the bar's slot, then the
// lower right corner on the base line; 2 pixels narrower than the slot on each side,
// outlined on the left, top and right. Drawing forgets the points.
class CRectangle : public IDrawingObject {
public:
    CRectangle(gui::ColourRef outline, gui::ColourRef fill);
    int AddPoint(int x, int y, int mode) override;  // mode ignored
    int Draw(IDdbCanvas* canvas, int mode) override;
    const gui::Pen& GetPen() const { return pen_; }
    const gui::Brush& GetBrush() const { return brush_; }
    std::size_t PointCount() const { return points_.size(); }

private:
    gui::Pen pen_;
    gui::Brush brush_;
    std::deque<QPoint> points_;
};

// A caption in "Arial" centred on its anchor; any non-zero angle rotates it (the
// graph's vertical title runs upward at 90 degrees). The text is copied.
class CText : public IDrawingObject {
public:
    CText(const QString& text, int height, int angle, gui::ColourRef colour);
    CText(int height, int angle, gui::ColourRef colour);  // no text: draws nothing

    int AddPoint(int x, int y, int mode) override { return SetPosition(x, y, mode); }
    int SetPosition(int x, int y, int ignored);
    int Draw(IDdbCanvas* canvas, int flag) override;
    int SetText(const QString& text);
    // Flag 0: transparent background; otherwise an opaque grey (0x808080) box.
    int DrawString(IDdbCanvas* canvas, const QString& text, int flag);
    // Where the text's top-left corner goes for an anchor and a measured extent.
    static QPoint TextOrigin(const QPoint& anchor, const QSize& extent, int angle);
    const QString& Text() const { return text_; }
    // The size `text` takes in this object's font.
    QSize Extent(const QString& text) const;
    bool HasText() const { return hasText_; }
    const gui::Font& GetFont() const { return font_; }

private:
    gui::Font font_;
    gui::ColourRef colour_ = 0;
    int x_ = 0;
    int y_ = 0;
    QString text_;
    bool hasText_ = false;
    int height_ = 0;
    int angle_ = 0;
};
