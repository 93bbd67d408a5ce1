// The speed-curve graph: CDerivedGraph composes the plot area, up to two series and the
// current axes into one canvas; CDerivedGraphLabel is the window that builds every
// part for its client size, offers the operations the pages and the speed-curve window
// use, and paints the canvas.
//
// The graph owns nothing; the label window owns every part and the range records.
// Channels 1 and 2 exist once their shape is set; anything else fails with 0 and
// changes nothing. Compositions are made lazily: an operation marks the picture stale
// and the next Redraw, paint or Canvas() composes it once, however many operations
// came before (new points alone leave the axes where they are, and redo only the rows
// the curves' ink held and holds). GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/Window.h"
#include "ui/Series.h"

class IGraph : public IGraphics {
public:
    virtual CMemoryDC* GetDC() = 0;
    virtual int AddValue(int bit, int x, int y) = 0;
    virtual int SetSeriesMask(std::uint32_t mask) = 0;
    virtual int Reset() = 0;
    virtual int SetPlotArea(IPlotarea* plotArea) = 0;
    virtual int SetSeries(ISeries* series, int bit) = 0;
    virtual int SetHorizontalAxis(IAxis* axis, int bit) = 0;
    virtual int SetVerticalAxis(IAxis* axis, int bit) = 0;
};

class CDerivedGraph : public IGraph {
public:
    int SetCanvas(IDdbCanvas* canvas) override;
    IDdbCanvas* GetCanvas() const override { return canvas_; }
    // Plot area (copy), the series in the mask (AND; a wrapped one in two pieces so
    // the newest point stands at the right edge), then the current axes (copy).
    int Draw() override;
    int SetBitmap(IBitmapComponent*) override { return 0; }
    // The same picture when only the series changed since the last composition: the
    // axes are copied again only where the plot area and the series overlap them.
    int DrawCurves();
    CMemoryDC* GetDC() override { return canvas_ != nullptr ? canvas_->GetDC() : nullptr; }
    int AddValue(int bit, int x, int y) override;
    // The last set bit of 1, 2, 4 chooses the axes shown; each chosen series is redrawn.
    int SetSeriesMask(std::uint32_t mask) override;
    // What SetSeriesMask chooses (mask, current axes and series, the plot area's axes),
    // without drawing anything: for an owner that draws the parts later.
    int SelectSeries(std::uint32_t mask);
    int Reset() override;
    int SetPlotArea(IPlotarea* plotArea) override;
    int SetSeries(ISeries* series, int bit) override;
    int SetHorizontalAxis(IAxis* axis, int bit) override;
    int SetVerticalAxis(IAxis* axis, int bit) override;

    std::uint32_t GetSeriesMask() const { return mask_; }
    // The parts of the canvas the last composition changed.
    const std::vector<QRect>& Changed() const { return changed_; }
    IAxis* CurrentHorizontalAxis() const { return currentHorizontal_; }
    IAxis* CurrentVerticalAxis() const { return currentVertical_; }

private:
    static int Slot(int bit);  // 0, 1, 2 for bits 1, 2, 4; -1 otherwise
    int Compose(bool axes);
    // New points only: the canvas columns redone just in the rows the series' ink held
    // before and holds now. False when that cannot be known (a full pass is needed).
    bool ComposeInk();
    void RememberInk();  // what the canvas now shows of the series' ink
    // The shown series with known ink, and the plot area's rect; false when a series'
    // ink is not known or it lies outside the plot area.
    struct InkLayer;
    bool InkLayers(std::vector<InkLayer>& layers, QRect& plotRect) const;
    // The blocks of plot area rows (shownBlockRows_ to the block) that the layers' ink
    // covers at canvas column x.
    std::uint64_t InkAt(int x, const std::vector<InkLayer>& layers) const;

    IDdbCanvas* canvas_ = nullptr;
    IPlotarea* plotArea_ = nullptr;
    IAxis* currentHorizontal_ = nullptr;
    IAxis* currentVertical_ = nullptr;
    ISeries* currentSeries_ = nullptr;
    std::array<IAxis*, 3> horizontal_{};
    std::array<IAxis*, 3> vertical_{};
    std::array<ISeries*, 3> series_{};
    std::uint32_t mask_ = 1;
    std::vector<QRect> changed_;
    // Per canvas column of the plot area (shownArea_), the blocks of rows where the
    // series' ink was drawn over it at the last composition; shownArea_ is empty when
    // that is not known.
    QRect shownArea_;
    int shownBlockRows_ = 1;
    std::vector<std::uint64_t> shown_;
};

class CDerivedGraphLabel : public gui::Window {
public:
    static constexpr gui::ColourRef kGridColour = 0xA0A0A0;
    static constexpr gui::ColourRef kTickColour = 0x606060;
    static constexpr gui::ColourRef kPlotBackground = 0xFFFFFF;
    static constexpr gui::ColourRef kPartBackground = 0xFFFFE2;
    static constexpr int kLineCapacity = 100;
    static constexpr int kBarCapacity = 10000;
    enum Shape { kLine = 0, kBars = 1 };

    CDerivedGraphLabel();
    ~CDerivedGraphLabel() override;

    // Creates the window as a child of parent at rect (taking the place of a template's
    // control) and builds the graph for its size. The window lets mouse presses through
    // to its dialog.
    bool Attach(gui::Window* parent, int id, const QRect& rect);
    // Builds every part for a client area of width x height; once only.
    bool BuildGraph(int width, int height);

    // shape kLine: a sweeping line of colour1; kBars: bars outlined colour1, filled
    // colour2. Replaces the channel's axes and series. 0 for a channel other than 1, 2.
    int SetSeriesShape(int channel, int shape, gui::ColourRef colour1, gui::ColourRef colour2);
    int SetAxisTitle(int channel, int horizontal, const QString& text);
    int SetAxisRange(int channel, int horizontal, std::int32_t minimum, std::int32_t maximum, std::int32_t divisions);
    int SetYAxisMaximum(std::int32_t maximum);
    // Channel 1 for 1, channel 2 for anything else (divisions are written as given).
    int SetXAxisDivisions(int channel, std::int32_t divisions);
    int SetChannelMask(std::uint32_t mask);
    int ClearSeries();
    // mask bit 1: channel 1, bit 2: channel 2.
    int AddPoint(std::uint32_t mask, int x, int y);
    // 0 without a channel 1 series, 2 with a channel 2 series, else 1.
    int GetSeriesCount() const;
    // Repaints what changed: new points are composed now and only what they changed
    // is repainted; anything more is composed at the next paint of the whole window.
    int Redraw();

    // The composed picture (composed now if stale); null before BuildGraph.
    const gui::Bitmap* Canvas();
    QSize GraphSize() const { return QSize(width_, height_); }
    // The parts drawn up to date first, as they are for whoever looks at them.
    CDerivedGraph* Graph() const;
    CRangeRecord* Range(int channel, bool horizontal);
    IAxis* Axis(int channel, bool horizontal) const;
    CDerivedSeries* Series(int channel) const;
    std::uint32_t GetChannelMask() const { return channelMask_; }

protected:
    bool onPaint(QPainter& painter) override;

private:
    struct Channel {
        // Series first: it borrows the axes, so it goes after them.
        std::unique_ptr<CDerivedAxis> horizontal;
        std::unique_ptr<CDerivedAxis> vertical;
        std::unique_ptr<CDerivedSeries> series;
        CRangeRecord horizontalRange{0, 100, 0};
        CRangeRecord verticalRange{0, 100, 0};
    };
    Channel* ChannelOf(int channel);
    const Channel* ChannelOf(int channel) const;
    std::unique_ptr<CDerivedAxis> MakeAxis(CRangeRecord* range, bool horizontal);
    // The parts are drawn when first looked at (the canvas composed, a part asked
    // for), not at each change: a page sets a graph up in many steps before anyone
    // sees it.
    void Due(int channel, bool horizontal, bool vertical, bool series);
    void DueShown();  // what the shown channel mask shows: its series, the current axes, the grid
    // shownOnly: only what the composition shows (the current axes, the masked series,
    // the grid); the rest stays due.
    void DrawDue(bool shownOnly = false) const;
    void DrawDueSeries(std::uint32_t mask) const;  // bit 1: channel 1, bit 2: channel 2
    void Stale();        // anything may have changed
    void CurvesStale();  // only the series changed

    // Declared in the order they may be destroyed in reverse: bitmaps before canvases,
    // borrowers (graph, plot area) before what they borrow.
    std::unique_ptr<CDerivedCanvas> graphCanvas_;
    std::unique_ptr<CDerivedCanvas> plotCanvas_;
    std::unique_ptr<CDdbBitmap> graphBitmap_;
    std::unique_ptr<CDdbBitmap> plotBitmap_;
    std::unique_ptr<CLine> gridLine_;
    std::unique_ptr<CLine> tickLine_;
    std::unique_ptr<CText> labelText_;
    std::array<Channel, 2> channels_;
    std::unique_ptr<CDerivedPlotArea> plotArea_;
    std::unique_ptr<CDerivedGraph> graph_;
    int width_ = 0;
    int height_ = 0;
    std::uint32_t channelMask_ = 0;
    struct DueParts {
        bool horizontal = false, vertical = false, series = false;
    };
    mutable std::array<DueParts, 2> due_{};
    mutable bool plotDue_ = false;
    bool stale_ = true;
    bool curvesStale_ = false;
};
