#include "ui/SpeedPlace.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>

namespace speedplace {

namespace {

std::int64_t Area(const QRect& r) {
    return r.isEmpty() ? 0 : static_cast<std::int64_t>(r.width()) * static_cast<std::int64_t>(r.height());
}

struct Cost {
    int controls = 0;
    std::int64_t controlArea = 0;
    std::int64_t clearArea = 0;
    std::int64_t distance = 0;
    auto Key() const { return std::tie(controls, controlArea, clearArea, distance); }
    bool operator<(const Cost& o) const { return Key() < o.Key(); }
};

Cost CostOf(const Scene& scene, const QRect& r, const QPoint& first) {
    Cost c;
    for (const QRect& control : scene.controls) {
        const QRect covered = r & control;
        if (covered.isEmpty()) continue;
        ++c.controls;
        c.controlArea += Area(covered);
    }
    for (const QRect& k : scene.keepClear) c.clearArea += Area(r & k);
    const std::int64_t dx = r.left() - first.x(), dy = r.top() - first.y();
    c.distance = dx * dx + dy * dy;
    return c;
}

// The lefts (or tops) worth trying along one axis. Sliding a window towards the
// screen's start never makes it cover a control more until its start edge meets one, so
// the fewest covered are found among the screen's start and the places just past a
// control's end; the places just before a control's start and the screen's end give
// the other side's equal choices.
std::vector<int> Stops(int screenStart, int screenEnd, int length, const std::vector<QRect>& rects, bool horizontal) {
    std::vector<int> stops{screenStart, screenEnd - length};
    for (const QRect& r : rects) {
        const int start = horizontal ? r.left() : r.top();
        const int end = horizontal ? r.left() + r.width() : r.top() + r.height();
        stops.push_back(end);
        stops.push_back(start - length);
    }
    const int last = std::max(screenStart, screenEnd - length);
    for (int& s : stops) s = std::clamp(s, screenStart, last);
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    return stops;
}

}  // namespace

QRect OnScreen(const QRect& screen, const QRect& window) {
    if (screen.isEmpty()) return window;
    // Right and bottom first, so a window larger than the screen keeps its top-left corner on it.
    const int x = std::max(screen.left(), std::min(window.left(), screen.left() + screen.width() - window.width()));
    const int y = std::max(screen.top(), std::min(window.top(), screen.top() + screen.height() - window.height()));
    return QRect(QPoint(x, y), window.size());
}

QRect Place(const Scene& scene, const QSize& size, const std::vector<QPoint>& wanted) {
    const QPoint first = wanted.empty() ? scene.screen.topLeft() : wanted.front();
    const auto clear = [&scene](const QRect& r) {
        return std::none_of(scene.keepClear.begin(), scene.keepClear.end(),
                            [&r](const QRect& k) { return r.intersects(k); });
    };
    for (const QPoint& corner : wanted) {
        const QRect r = OnScreen(scene.screen, QRect(corner, size));
        if (clear(r)) return r;
    }
    if (scene.screen.isEmpty()) return QRect(first, size);

    std::vector<QRect> edges = scene.controls;
    edges.insert(edges.end(), scene.keepClear.begin(), scene.keepClear.end());
    const QRect& s = scene.screen;
    const std::vector<int> xs = Stops(s.left(), s.left() + s.width(), size.width(), edges, true);
    const std::vector<int> ys = Stops(s.top(), s.top() + s.height(), size.height(), edges, false);
    std::vector<QRect> tries;
    tries.reserve(xs.size() * ys.size() + wanted.size());
    for (const QPoint& corner : wanted) tries.push_back(OnScreen(s, QRect(corner, size)));
    for (const int y : ys) {
        for (const int x : xs) tries.push_back(QRect(QPoint(x, y), size));
    }
    QRect best = tries.front();
    Cost bestCost = CostOf(scene, best, first);
    for (const QRect& r : tries) {
        const Cost c = CostOf(scene, r, first);
        if (c < bestCost) {
            best = r;
            bestCost = c;
        }
    }
    return best;
}

}  // namespace speedplace
