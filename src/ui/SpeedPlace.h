// Where a speed window goes beside its page: a pure function of the screen, the page,
// what must stay in sight and the window's own size, so every case can be tried
// without a display.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

namespace speedplace {

struct Scene {
    QRect screen;                  // the available area; empty: no screen known, any place will do
    std::vector<QRect> keepClear;  // the page and the speed windows placed before, whole
    // What the user must still see and reach, each counted as one: the page's controls
    // and, one by one, those the speed windows placed before show (dial, readouts,
    // slider, lamps, graph).
    std::vector<QRect> controls;
};

// The window (at its own size, never cut) moved wholly onto the screen: a window larger
// than the screen keeps its top-left corner on it.
QRect OnScreen(const QRect& screen, const QRect& window);

// The first of the `wanted` top-left corners where the window, moved wholly onto the
// screen, is clear of everything in keepClear. Where none is, the place wholly on the
// screen that covers the fewest controls, then the least of their area, then the least
// of keepClear, then lies nearest the first wanted corner. Nothing wanted: the screen's
// top-left corner is.
QRect Place(const Scene& scene, const QSize& size, const std::vector<QPoint>& wanted);

}  // namespace speedplace
