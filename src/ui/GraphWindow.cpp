// The graph window: builds every part of the graph for its size, offers the pages'
// operations, draws the parts that are due and composes when it is painted.
#include "ui/Graph.h"

#include <memory>
#include <utility>

#include "platform/gui/PaintOptions.h"

CDerivedGraphLabel::CDerivedGraphLabel() { channels_[0].verticalRange = CRangeRecord{0, 8000, 0}; }

CDerivedGraphLabel::~CDerivedGraphLabel() {
    if (exists()) destroy();
}

bool CDerivedGraphLabel::Attach(gui::Window* parent, int id, const QRect& rect) {
    if (!create(parent, id, rect)) return false;
    setMouseTransparent(true);
    gui::setPaintsWholeArea(*this);  // the canvas covers the window: nothing to erase first
    return BuildGraph(clientRect().width(), clientRect().height());
}

bool CDerivedGraphLabel::BuildGraph(int width, int height) {
    if (graph_) return false;
    width_ = width;
    height_ = height;
    const gui::Handle window = handle();
    graphCanvas_ = std::make_unique<CDerivedCanvas>(window);
    plotCanvas_ = std::make_unique<CDerivedCanvas>(window);
    graphBitmap_ = std::make_unique<CDdbBitmap>(window, kPlotBackground);
    plotBitmap_ = std::make_unique<CDdbBitmap>(window, kPlotBackground);
    gridLine_ = std::make_unique<CLine>(kGridColour);
    tickLine_ = std::make_unique<CLine>(kTickColour);
    labelText_ = std::make_unique<CText>(16, 0, 0x000000);
    plotArea_ = std::make_unique<CDerivedPlotArea>();
    graph_ = std::make_unique<CDerivedGraph>();

    graphBitmap_->SetSize(width, height);
    graphBitmap_->Attach(graphCanvas_.get());
    plotBitmap_->SetSize(width - 99, height - 69);
    plotBitmap_->Attach(plotCanvas_.get());
    plotArea_->SetCanvas(plotCanvas_.get());
    plotArea_->SetBitmap(plotBitmap_.get());
    plotArea_->SetLine(gridLine_.get());
    plotArea_->SetPosition(75, 15);
    graph_->SetCanvas(graphCanvas_.get());
    graph_->SetPlotArea(plotArea_.get());
    Stale();
    return graphBitmap_->HasBitmap();
}

CDerivedGraphLabel::Channel* CDerivedGraphLabel::ChannelOf(int channel) {
    return channel == 1 || channel == 2 ? &channels_[static_cast<std::size_t>(channel - 1)] : nullptr;
}

const CDerivedGraphLabel::Channel* CDerivedGraphLabel::ChannelOf(int channel) const {
    return channel == 1 || channel == 2 ? &channels_[static_cast<std::size_t>(channel - 1)] : nullptr;
}

CRangeRecord* CDerivedGraphLabel::Range(int channel, bool horizontal) {
    Channel* c = ChannelOf(channel);
    if (c == nullptr) return nullptr;
    return horizontal ? &c->horizontalRange : &c->verticalRange;
}

IAxis* CDerivedGraphLabel::Axis(int channel, bool horizontal) const {
    DrawDue();
    const Channel* c = ChannelOf(channel);
    if (c == nullptr) return nullptr;
    return horizontal ? c->horizontal.get() : c->vertical.get();
}

CDerivedSeries* CDerivedGraphLabel::Series(int channel) const {
    DrawDue();
    const Channel* c = ChannelOf(channel);
    return c != nullptr ? c->series.get() : nullptr;
}

std::unique_ptr<CDerivedAxis> CDerivedGraphLabel::MakeAxis(CRangeRecord* range, bool horizontal) {
    const gui::Handle window = handle();
    const int w = width_, h = height_;
    auto axis = std::make_unique<CDerivedAxis>();
    auto* canvas = new CDerivedCanvas(window);
    auto* bitmap = new CDdbBitmap(window, kPartBackground);
    axis->SetCanvas(canvas);
    axis->SetBitmap(bitmap);
    auto* decoder = new CDerivedPixelDecoder;
    CText* title = nullptr;
    if (horizontal) {
        bitmap->SetSize(w - 50, 55);
        decoder->Init(range, w - 100, 0);
        axis->SetOffset(30, 0);
        axis->SetOrigin(45, h - 55);
        title = new CText(QStringLiteral("Test X-Axis text"), 16, 0, 0x000000);
        title->SetPosition((w - 50) / 2, 35, 0);
    } else {
        bitmap->SetSize(75, h - 45);
        decoder->Init(range, h - 70, 1);
        axis->SetOffset(65, 15);
        axis->SetOrigin(0, 0);
        title = new CText(QStringLiteral("Test Y-Axis text"), 16, 90, 0x000000);
        title->SetPosition(15, (h - 45) / 2, 0);
    }
    bitmap->Attach(canvas);
    axis->SetDecoder(decoder);
    axis->SetTitle(title);
    axis->SetLine(tickLine_.get());
    axis->SetLabel(labelText_.get());
    return axis;
}

int CDerivedGraphLabel::SetSeriesShape(int channel, int shape, gui::ColourRef colour1, gui::ColourRef colour2) {
    Channel* c = ChannelOf(channel);
    if (c == nullptr || !graph_) return 0;
    const bool bars = shape == kBars;
    auto horizontal = MakeAxis(&c->horizontalRange, true);
    auto vertical = MakeAxis(&c->verticalRange, false);
    auto series = std::make_unique<CDerivedSeries>(bars ? CDerivedSeries::kBars : CDerivedSeries::kSweep);
    auto* canvas = new CDerivedCanvas(handle());
    auto* bitmap = new CDdbBitmap(handle(), kPartBackground);
    series->SetCanvas(canvas);
    series->SetBitmap(bitmap);
    bitmap->SetSize(width_ - 100, height_ - 69);
    bitmap->Attach(canvas);
    auto* container = new CSeriesContainer;
    container->SetCapacity(bars ? kBarCapacity : kLineCapacity);
    series->SetContainer(container);
    if (bars)
        series->SetShape(new CRectangle(colour1, colour2));
    else
        series->SetShape(new CLine(colour1));
    series->SetHorizontalAxis(horizontal.get());
    series->SetVerticalAxis(vertical.get());
    series->SetPosition(75, 15);

    // Hand the new parts to the graph and the plot area before the old ones go.
    const int bit = channel == 1 ? 1 : 2;
    graph_->SetHorizontalAxis(horizontal.get(), bit);
    graph_->SetVerticalAxis(vertical.get(), bit);
    graph_->SetSeries(series.get(), bit);
    plotArea_->SetHorizontalAxis(horizontal.get());
    plotArea_->SetVerticalAxis(vertical.get());
    std::swap(c->horizontal, horizontal);
    std::swap(c->vertical, vertical);
    std::swap(c->series, series);
    Due(channel, true, true, true);
    graph_->SelectSeries(1);
    DueShown();
    series.reset();  // the replaced series first: it borrows the replaced axes
    Stale();
    return 1;
}

int CDerivedGraphLabel::SetAxisTitle(int channel, int horizontal, const QString& text) {
    Channel* c = ChannelOf(channel);
    IAxis* axis = c == nullptr ? nullptr : horizontal != 0 ? c->horizontal.get() : c->vertical.get();
    if (axis == nullptr) return 0;
    auto* title = dynamic_cast<CText*>(axis->GetTitle());
    if (title == nullptr) return 0;
    title->SetText(text);
    Due(channel, horizontal != 0, horizontal == 0, false);
    plotDue_ = true;
    Stale();
    return 1;
}

int CDerivedGraphLabel::SetAxisRange(int channel, int horizontal, std::int32_t minimum, std::int32_t maximum,
                                     std::int32_t divisions) {
    Channel* c = ChannelOf(channel);
    if (c == nullptr) return 0;
    CRangeRecord& range = horizontal != 0 ? c->horizontalRange : c->verticalRange;
    range.minimum = minimum;
    range.maximum = maximum;
    range.divisions = divisions;
    IAxis* axis = horizontal != 0 ? c->horizontal.get() : c->vertical.get();
    if (axis == nullptr) {
        // No shape yet: the record alone; the zero-divisions rule applies when the
        // axis is made over it.
        return 1;
    }
    axis->GetDecoder()->SetDivisions(divisions);
    axis->GetDecoder()->Recalculate();
    Due(channel, horizontal != 0, horizontal == 0, true);
    plotDue_ = true;
    Stale();
    return 1;
}

int CDerivedGraphLabel::SetYAxisMaximum(std::int32_t maximum) {
    for (int channel = 1; channel <= 2; ++channel) {
        if ((channelMask_ & static_cast<std::uint32_t>(channel)) == 0) continue;
        Channel* c = ChannelOf(channel);
        c->verticalRange.maximum = maximum;
        if (!c->vertical) continue;
        c->vertical->GetDecoder()->Init(&c->verticalRange, height_ - 70, 1);
        Due(channel, false, true, true);
    }
    plotDue_ = true;
    Stale();
    return 1;
}

int CDerivedGraphLabel::SetXAxisDivisions(int channel, std::int32_t divisions) {
    Channel* c = ChannelOf(channel == 1 ? 1 : 2);
    // Only the series is drawn again for new divisions: a part still due shows the
    // divisions it was due with.
    DrawDue();
    c->horizontalRange.divisions = divisions;
    Due(channel == 1 ? 1 : 2, false, false, true);
    Stale();
    return 1;
}

int CDerivedGraphLabel::SetChannelMask(std::uint32_t mask) {
    channelMask_ = mask;
    if (graph_) {
        graph_->SelectSeries(mask);
        DueShown();
    }
    Stale();
    return 1;
}

int CDerivedGraphLabel::ClearSeries() {
    if (!graph_) return 0;
    // A cleared series is white whether it is drawn again before or after: what is due
    // stays due.
    graph_->Reset();
    Stale();
    return 1;
}

int CDerivedGraphLabel::AddPoint(std::uint32_t mask, int x, int y) {
    // A point is drawn onto its series as it comes: the series must show its earlier
    // points first (its scales are up to date already; the axes and grid can wait).
    DrawDueSeries(mask);
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        CDerivedSeries* series = channels_[i].series.get();
        if ((mask & (1u << i)) == 0 || series == nullptr) continue;
        series->AddValue(x, y);
    }
    CurvesStale();
    return 1;
}

int CDerivedGraphLabel::GetSeriesCount() const {
    if (!channels_[0].series) return 0;
    return channels_[1].series ? 2 : 1;
}

void CDerivedGraphLabel::Due(int channel, bool horizontal, bool vertical, bool series) {
    DueParts& d = due_[static_cast<std::size_t>(channel == 1 ? 0 : 1)];
    d.horizontal = d.horizontal || horizontal;
    d.vertical = d.vertical || vertical;
    d.series = d.series || series;
}

void CDerivedGraphLabel::DueShown() {
    const std::uint32_t mask = graph_->GetSeriesMask();
    for (int channel = 1; channel <= 2; ++channel) {
        const Channel& c = channels_[static_cast<std::size_t>(channel - 1)];
        const bool horizontal = c.horizontal && c.horizontal.get() == graph_->CurrentHorizontalAxis();
        const bool vertical = c.vertical && c.vertical.get() == graph_->CurrentVerticalAxis();
        Due(channel, horizontal, vertical, (mask & static_cast<std::uint32_t>(channel)) != 0);
    }
    plotDue_ = true;
}

void CDerivedGraphLabel::DrawDue(bool shownOnly) const {
    // Each part has a bitmap of its own and the setters keep every scale up to date,
    // so the order does not matter; this is the order the parts were always drawn in.
    const auto draw = [](const std::unique_ptr<CDerivedAxis>& axis, bool& due, bool wanted) {
        if (!due || !wanted) return;
        if (axis) axis->Draw();
        due = false;
    };
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        const Channel& c = channels_[i];
        draw(c.horizontal, due_[i].horizontal, !shownOnly || c.horizontal.get() == graph_->CurrentHorizontalAxis());
        draw(c.vertical, due_[i].vertical, !shownOnly || c.vertical.get() == graph_->CurrentVerticalAxis());
    }
    DrawDueSeries(shownOnly ? graph_->GetSeriesMask() : 3);
    if (plotDue_ && plotArea_) plotArea_->Draw();
    plotDue_ = false;
}

void CDerivedGraphLabel::DrawDueSeries(std::uint32_t mask) const {
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        if ((mask & (1u << i)) == 0) continue;
        if (due_[i].series && channels_[i].series) channels_[i].series->Draw();
        due_[i].series = false;
    }
}

CDerivedGraph* CDerivedGraphLabel::Graph() const {
    DrawDue();
    return graph_.get();
}

void CDerivedGraphLabel::Stale() {
    stale_ = true;
    invalidate();
}

// New points show at the next Redraw (every caller redraws after adding): the window
// is asked to repaint only what the composition then changes.
void CDerivedGraphLabel::CurvesStale() { curvesStale_ = true; }

const gui::Bitmap* CDerivedGraphLabel::Canvas() {
    if (!graph_) return nullptr;
    DrawDue(true);
    if (stale_) {
        graph_->Draw();  // the whole window is already due for a repaint
    } else if (curvesStale_) {
        graph_->DrawCurves();
        for (const QRect& r : graph_->Changed()) gui::invalidatePart(*this, r);
    }
    stale_ = false;
    curvesStale_ = false;
    return SurfaceOf(graphCanvas_.get());
}

int CDerivedGraphLabel::Redraw() {
    // A graph changed in more than its curves is repainted whole and composed then;
    // new points alone are composed now, so that only what they changed is repainted.
    if (!stale_) Canvas();
    return 1;
}

bool CDerivedGraphLabel::onPaint(QPainter& painter) {
    if (const gui::Bitmap* canvas = Canvas())
        gui::paintBitmap(painter, QPoint(0, 0), *canvas, QRect(0, 0, width_, height_));
    return true;
}
