#include "ui/Graph.h"

#include <algorithm>
#include <vector>

// ---- graph --------------------------------------------------------------------------

int CDerivedGraph::Slot(int bit) {
    switch (bit) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 4:
            return 2;
        default:
            return -1;
    }
}

int CDerivedGraph::SetCanvas(IDdbCanvas* canvas) {
    canvas_ = canvas;
    return canvas != nullptr;
}

int CDerivedGraph::SetPlotArea(IPlotarea* plotArea) {
    plotArea_ = plotArea;
    return plotArea != nullptr;
}

int CDerivedGraph::SetSeries(ISeries* series, int bit) {
    const int slot = Slot(bit);
    if (slot < 0) return 0;
    if (currentSeries_ == series_[slot]) currentSeries_ = series;
    series_[slot] = series;
    return series != nullptr;
}

int CDerivedGraph::SetHorizontalAxis(IAxis* axis, int bit) {
    const int slot = Slot(bit);
    if (slot < 0) return 0;
    if (currentHorizontal_ == horizontal_[slot]) currentHorizontal_ = axis;
    horizontal_[slot] = axis;
    return axis != nullptr;
}

int CDerivedGraph::SetVerticalAxis(IAxis* axis, int bit) {
    const int slot = Slot(bit);
    if (slot < 0) return 0;
    if (currentVertical_ == vertical_[slot]) currentVertical_ = axis;
    vertical_[slot] = axis;
    return axis != nullptr;
}

int CDerivedGraph::AddValue(int bit, int x, int y) {
    const int slot = Slot(bit);
    if (slot < 0 || series_[slot] == nullptr) return 0;
    return series_[slot]->AddValue(x, y);
}

int CDerivedGraph::SetSeriesMask(std::uint32_t mask) {
    const int any = SelectSeries(mask);
    for (int slot = 0; slot < 3; ++slot) {
        if ((mask & (1u << slot)) != 0 && series_[slot] != nullptr) series_[slot]->Draw();
    }
    if (currentHorizontal_ != nullptr) currentHorizontal_->Draw();
    if (currentVertical_ != nullptr) currentVertical_->Draw();
    if (plotArea_ != nullptr) plotArea_->Draw();
    return any;
}

int CDerivedGraph::SelectSeries(std::uint32_t mask) {
    mask_ = mask;
    bool any = false;
    for (int slot = 0; slot < 3; ++slot) {
        if ((mask & (1u << slot)) == 0) continue;
        any = true;
        currentHorizontal_ = horizontal_[slot];
        currentVertical_ = vertical_[slot];
        currentSeries_ = series_[slot];
    }
    if (plotArea_ != nullptr) {
        plotArea_->SetHorizontalAxis(currentHorizontal_);
        plotArea_->SetVerticalAxis(currentVertical_);
    }
    return any ? 1 : 0;
}

int CDerivedGraph::Reset() {
    for (int slot = 0; slot < 3; ++slot) {
        if ((mask_ & (1u << slot)) != 0 && series_[slot] != nullptr) series_[slot]->Reset();
    }
    return 1;
}

int CDerivedGraph::Draw() { return Compose(true); }

int CDerivedGraph::DrawCurves() { return Compose(false); }

namespace {

// Where a wrapped series is split: the pixel of its newest point, measured with the
// series' own horizontal axis (the shown one whenever both channels share a range).
int SplitOf(ISeries* series, IAxis* shown, int width) {
    auto* own = dynamic_cast<CDerivedSeries*>(series);
    IAxis* axis = own != nullptr && own->HorizontalAxis() != nullptr ? own->HorizontalAxis() : shown;
    int lastX = 0, lastY = 0;
    series->GetLastPoint(&lastX, &lastY);
    return std::clamp(axis != nullptr && axis->GetDecoder() != nullptr ? axis->GetDecoder()->ValueToPixel(lastX) : 0, 0,
                      width);
}

// Rows [top, bottom]; empty when top > bottom.
struct RowSpan {
    int top = 1, bottom = 0;
    bool empty() const { return top > bottom; }
    void Add(int from, int to) {
        const bool none = empty();
        top = none ? from : std::min(top, from);
        bottom = none ? to : std::max(bottom, to);
    }
};

// The parts of outer that inner (which lies inside it) does not cover.
std::vector<QRect> Around(const QRect& outer, const QRect& inner) {
    std::vector<QRect> parts{QRect(outer.left(), outer.top(), outer.width(), inner.top() - outer.top()),
                             QRect(outer.left(), inner.bottom() + 1, outer.width(), outer.bottom() - inner.bottom()),
                             QRect(outer.left(), inner.top(), inner.left() - outer.left(), inner.height()),
                             QRect(inner.right() + 1, inner.top(), outer.right() - inner.right(), inner.height())};
    parts.erase(std::remove_if(parts.begin(), parts.end(), [](const QRect& r) { return r.isEmpty(); }), parts.end());
    return parts;
}

}  // namespace

int CDerivedGraph::Compose(bool axes) {
    if (!axes && ComposeInk()) return 1;
    changed_.clear();
    shownArea_ = QRect();
    gui::Bitmap* target = SurfaceOf(canvas_);
    if (target == nullptr) return 0;

    // The series in the mask, each as one piece or, once wrapped, two pieces split
    // around the newest point so that it stands at the right edge.
    struct Piece {
        const gui::Bitmap* image;
        QRect source;
        QPoint at;
    };
    std::vector<std::vector<Piece>> layers;
    std::vector<QRect> covered;
    for (int slot = 0; slot < 3; ++slot) {
        ISeries* series = series_[slot];
        if ((mask_ & (1u << slot)) == 0 || series == nullptr) continue;
        const gui::Bitmap* image = SurfaceOf(series->GetCanvas());
        if (image == nullptr) continue;
        const QPoint pos = series->GetPosition();
        covered.push_back(QRect(pos, image->size()));
        if (!series->IsWrapped()) {
            layers.push_back({{image, image->rect(), pos}});
            continue;
        }
        const int w = image->width();
        const int h = image->height();
        const int s = SplitOf(series, currentHorizontal_, w);
        layers.push_back(
            {{image, QRect(s, 0, w - s, h), pos}, {image, QRect(0, 0, s, h), QPoint(pos.x() + w - s, pos.y())}});
    }

    // The plot area copied, the series ANDed over it. The first series is ANDed in
    // the same pass as the copy when it lies inside the plot area. The work goes in
    // bands of rows, so that a band is still in the cache when the next series is
    // ANDed over it.
    const gui::Bitmap* plot = plotArea_ != nullptr ? SurfaceOf(plotArea_->GetCanvas()) : nullptr;
    const QPoint plotPos = plotArea_ != nullptr ? plotArea_->GetPosition() : QPoint();
    const QRect plotRect = plot != nullptr ? QRect(plotPos, plot->size()) : QRect();
    const bool fused = plot != nullptr && !layers.empty() && plotRect.contains(covered.front());
    QRect area = plotRect;
    for (const QRect& r : covered) area = area.united(r);
    constexpr int kBand = 16;
    for (int top = area.top(); top <= area.bottom(); top += kBand) {
        const QRect band = QRect(area.left(), top, area.width(), kBand).intersected(area);
        // Copies (or ANDs) the part of dst inside the band; srcAt is where dst's top
        // left corner is read from.
        const auto part = [&](const QRect& dst, const gui::Bitmap& src, const QPoint& srcAt, gui::CopyMode mode) {
            const QRect r = dst.intersected(band);
            if (!r.isEmpty())
                target->blockCopy(r.topLeft(), src, QRect(srcAt + (r.topLeft() - dst.topLeft()), r.size()), mode);
        };
        std::size_t first = 0;
        if (fused) {
            for (const QRect& rest : Around(plotRect, covered.front()))
                part(rest, *plot, rest.topLeft() - plotPos, gui::CopyMode::Copy);
            for (const Piece& piece : layers.front()) {
                const QRect dst = QRect(piece.at, piece.source.size());
                const QRect r = dst.intersected(band);
                if (r.isEmpty()) continue;
                const QPoint offset = r.topLeft() - dst.topLeft();
                target->blockAnd(r, *plot, r.topLeft() - plotPos, *piece.image, piece.source.topLeft() + offset);
            }
            first = 1;
        } else if (plot != nullptr) {
            part(plotRect, *plot, QPoint(0, 0), gui::CopyMode::Copy);
        }
        for (std::size_t i = first; i < layers.size(); ++i) {
            for (const Piece& piece : layers[i]) {
                part(QRect(piece.at, piece.source.size()), *piece.image, piece.source.topLeft(), gui::CopyMode::And);
            }
        }
    }

    // The current axes, plain copies; when only the curves changed, just where the
    // plot area and the series were drawn over them.
    if (plot != nullptr) covered.push_back(QRect(plotArea_->GetPosition(), plot->size()));
    for (IAxis* axis : {currentHorizontal_, currentVertical_}) {
        if (axis == nullptr) continue;
        const gui::Bitmap* image = SurfaceOf(axis->GetCanvas());
        if (image == nullptr) continue;
        const QPoint origin = axis->GetOrigin();
        if (axes) {
            target->blockCopy(origin, *image, image->rect());
            continue;
        }
        const QRect axisRect(origin, image->size());
        for (const QRect& area : covered) {
            const QRect overlap = area.intersected(axisRect);
            if (!overlap.isEmpty()) target->blockCopy(overlap.topLeft(), *image, overlap.translated(-origin));
        }
    }
    changed_.push_back(axes ? target->rect() : area.intersected(target->rect()));
    RememberInk();
    return 1;
}

// A shown series whose ink is known, as the canvas places it: canvas column x shows
// the series column (x - pos.x + split) % width.
struct CDerivedGraph::InkLayer {
    const gui::Bitmap* image;
    const CInkColumns* ink;
    QPoint pos;
    int split;
    int slot;
};

std::uint64_t CDerivedGraph::InkAt(int x, const std::vector<InkLayer>& layers) const {
    std::uint64_t blocks = 0;
    for (const InkLayer& l : layers) {
        const int w = l.image->width();
        const int dx = x - l.pos.x();
        if (dx < 0 || dx >= w) continue;
        const int shift = l.pos.y() - shownArea_.top();
        const std::uint64_t bits = l.ink->At((dx + l.split) % w);
        if (shift == 0 && l.ink->BlockRows() == shownBlockRows_) {
            blocks |= bits;  // the series' blocks are the plot area's
            continue;
        }
        CInkColumns::ForEachRun(bits, l.ink->BlockRows(), l.image->height(), [&](int top, int bottom) {
            blocks |= CInkColumns::Blocks(top + shift, bottom + shift, shownBlockRows_);
        });
    }
    return blocks;
}

bool CDerivedGraph::InkLayers(std::vector<InkLayer>& layers, QRect& plotRect) const {
    const gui::Bitmap* target = SurfaceOf(canvas_);
    const gui::Bitmap* plot = plotArea_ != nullptr ? SurfaceOf(plotArea_->GetCanvas()) : nullptr;
    if (target == nullptr || plot == nullptr) return false;
    plotRect = QRect(plotArea_->GetPosition(), plot->size());
    if (!target->rect().contains(plotRect)) return false;
    for (int slot = 0; slot < 3; ++slot) {
        ISeries* series = series_[slot];
        if ((mask_ & (1u << slot)) == 0 || series == nullptr) continue;
        const gui::Bitmap* image = SurfaceOf(series->GetCanvas());
        if (image == nullptr) continue;
        const auto* own = dynamic_cast<const CDerivedSeries*>(series);
        const CInkColumns* ink = own != nullptr ? own->Ink() : nullptr;
        const QPoint pos = series->GetPosition();
        if (ink == nullptr || ink->Width() != image->width() || !plotRect.contains(QRect(pos, image->size())))
            return false;
        layers.push_back(
            {image, ink, pos, series->IsWrapped() ? SplitOf(series, currentHorizontal_, image->width()) : 0, slot});
    }
    return true;
}

void CDerivedGraph::RememberInk() {
    std::vector<InkLayer> layers;
    QRect plotRect;
    shownArea_ = QRect();
    if (!InkLayers(layers, plotRect)) return;
    shownArea_ = plotRect;
    shownBlockRows_ = std::max(1, (plotRect.height() + CInkColumns::kBlocks - 1) / CInkColumns::kBlocks);
    shown_.resize(static_cast<std::size_t>(plotRect.width()));
    for (int x = plotRect.left(); x <= plotRect.right(); ++x)
        shown_[static_cast<std::size_t>(x - plotRect.left())] = InkAt(x, layers);
}

bool CDerivedGraph::ComposeInk() {
    std::vector<InkLayer> layers;
    QRect plotRect;
    if (shownArea_.isEmpty() || !InkLayers(layers, plotRect) || plotRect != shownArea_) return false;
    gui::Bitmap* target = SurfaceOf(canvas_);
    const gui::Bitmap* plot = SurfaceOf(plotArea_->GetCanvas());
    // Where the current axes lie over the plot area they stay as the last pass left them.
    std::vector<QRect> axisRects;
    for (IAxis* axis : {currentHorizontal_, currentVertical_}) {
        const gui::Bitmap* image = axis != nullptr ? SurfaceOf(axis->GetCanvas()) : nullptr;
        if (image != nullptr) axisRects.push_back(QRect(axis->GetOrigin(), image->size()).intersected(plotRect));
    }
    QImage& out = target->image();
    uchar* outBits = out.bits();
    const qsizetype outStride = out.bytesPerLine();
    const QImage& plotImage = plot->image();
    const QPoint plotPos = plotRect.topLeft();

    // What each column needs redone: the blocks the ink covered before and covers now.
    const int width = plotRect.width();
    std::vector<std::uint64_t> redo(static_cast<std::size_t>(width));
    std::uint64_t any = 0;
    for (int i = 0; i < width; ++i) {
        const std::uint64_t now = InkAt(plotRect.left() + i, layers);
        redo[static_cast<std::size_t>(i)] = shown_[static_cast<std::size_t>(i)] | now;
        any |= redo[static_cast<std::size_t>(i)];
        shown_[static_cast<std::size_t>(i)] = now;
    }

    // Row by row (a column at a time would touch a page of every image per pixel): the
    // plot area ANDed with every layer's pixel, over the runs of columns due in the row.
    // Only pixels that come out different are written, and their rows noted per column:
    // a trace that moves with the sweep but looks the same asks for no repaint.
    std::vector<RowSpan> differ(static_cast<std::size_t>(width));
    const auto pixels = [&](int y, int from, int to) {
        auto* out = reinterpret_cast<std::uint32_t*>(outBits + y * outStride);
        const auto* base =
            reinterpret_cast<const std::uint32_t*>(plotImage.constScanLine(y - plotPos.y())) - plotPos.x();
        const std::uint32_t* rows[3] = {};
        for (std::size_t i = 0; i < layers.size(); ++i) {
            const int dy = y - layers[i].pos.y();
            if (dy >= 0 && dy < layers[i].image->height())
                rows[i] = reinterpret_cast<const std::uint32_t*>(layers[i].image->image().constScanLine(dy));
        }
        for (int x = from; x <= to; ++x) {
            std::uint32_t v = base[x];
            for (std::size_t i = 0; i < layers.size(); ++i) {
                const InkLayer& l = layers[i];
                const int dx = x - l.pos.x();
                const int w = l.image->width();
                if (rows[i] != nullptr && dx >= 0 && dx < w) v &= rows[i][(dx + l.split) % w];
            }
            if (out[x] == v) continue;
            out[x] = v;
            differ[static_cast<std::size_t>(x - plotRect.left())].Add(y, y);
        }
    };
    const auto underAxis = [&](int x, int y) {
        for (const QRect& r : axisRects)
            if (r.contains(x, y)) return true;
        return false;
    };
    for (; any != 0; any &= any - 1) {
        const int block = __builtin_ctzll(any);
        const std::uint64_t bit = std::uint64_t{1} << block;
        const int top = plotRect.top() + block * shownBlockRows_;
        const int bottom = std::min(plotRect.bottom(), top + shownBlockRows_ - 1);
        if (top > bottom) break;
        for (int i = 0; i < width;) {
            if ((redo[static_cast<std::size_t>(i)] & bit) == 0) {
                ++i;
                continue;
            }
            const int from = i;
            while (i < width && (redo[static_cast<std::size_t>(i)] & bit) != 0) ++i;
            for (int y = top; y <= bottom; ++y) {
                // Where the axes lie over the plot area they stay as the last pass left
                // them: the run is cut around them.
                int x = plotRect.left() + from;
                const int end = plotRect.left() + i - 1;
                while (x <= end) {
                    if (underAxis(x, y)) {
                        ++x;
                        continue;
                    }
                    int to = x;
                    while (to < end && !underAxis(to + 1, y)) ++to;
                    pixels(y, x, to);
                    x = to + 1;
                }
            }
        }
    }

    // The screen needs the changed rows, gathered in strips of a few columns.
    constexpr int kStrip = 16;
    changed_.clear();
    for (int left = 0; left < width; left += kStrip) {
        RowSpan strip;
        const int right = std::min(width, left + kStrip) - 1;
        for (int i = left; i <= right; ++i) {
            const RowSpan d = differ[static_cast<std::size_t>(i)];
            if (!d.empty()) strip.Add(d.top, d.bottom);
        }
        if (!strip.empty())
            changed_.push_back(
                QRect(QPoint(plotRect.left() + left, strip.top), QPoint(plotRect.left() + right, strip.bottom)));
    }
    return true;
}
