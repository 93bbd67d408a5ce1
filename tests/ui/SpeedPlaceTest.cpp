// Where a speed window goes, as a function of screen, page, controls and size.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "ui/SpeedPlace.h"

namespace {

using speedplace::Place;
using speedplace::Scene;

std::string Describe(const QRect& r) {
    std::ostringstream out;
    out << r.width() << "x" << r.height() << " at (" << r.x() << ", " << r.y() << ")";
    return out.str();
}

int Covered(const std::vector<QRect>& controls, const QRect& r) {
    int n = 0;
    for (const QRect& c : controls) n += r.intersects(c) ? 1 : 0;
    return n;
}

// A page of `columns` x `rows` controls, each 80 x 20 in a 95 x 24 grid from (10, 10),
// without the cells `gaps` names (column, row); the page ends 10 pixels past the last.
Scene GridPage(const QRect& screen, QPoint at, int columns, int rows, const std::vector<QPoint>& gaps = {}) {
    Scene scene;
    scene.screen = screen;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (std::find(gaps.begin(), gaps.end(), QPoint(column, row)) != gaps.end()) continue;
            scene.controls.push_back(QRect(at + QPoint(10 + 95 * column, 10 + 24 * row), QSize(80, 20)));
        }
    }
    scene.keepClear.push_back(QRect(at, QSize(10 + 95 * columns, 10 + 24 * rows)));
    return scene;
}

}  // namespace

// The first wanted place that lies clear of the page once moved wholly onto the screen.
TEST(SpeedPlace, AWindowTakesTheFirstWantedPlaceThatIsWholeOnTheScreenAndClearOfThePage) {
    const QRect screen(0, 0, 1366, 768);
    Scene scene = GridPage(screen, QPoint(0, 0), 4, 12);  // 390 x 298
    const QSize dial(382, 423);
    // Beside the page, within the screen's width.
    EXPECT_EQ(Place(scene, dial, {QPoint(390, 0)}), QRect(QPoint(390, 0), dial));
    // Past the screen's right edge: moved in, still clear of the page.
    EXPECT_EQ(Place(scene, dial, {QPoint(1200, 0)}), QRect(QPoint(1366 - 382, 0), dial));
    // Moved onto the screen over the page: the next one wanted.
    EXPECT_EQ(Place(scene, dial, {QPoint(-300, 100), QPoint(0, 300)}), QRect(QPoint(0, 300), dial));
    // Nothing known of the screen: the place as it is.
    scene.screen = QRect();
    EXPECT_EQ(Place(scene, dial, {QPoint(1200, 0)}), QRect(QPoint(1200, 0), dial));
}

// Where no place is clear the window still goes whole, at its size, where it hides the
// fewest controls, and only among those the least of their area. The dual-stepper page
// on a laptop's screen: no place for the graph is clear of the page and its readout; the
// best hides none of the page's controls (its lower right corner is empty) nor the
// readout.
TEST(SpeedPlace, WhereNoPlaceIsClearTheWindowStaysWholeAndHidesTheFewestControls) {
    const QRect screen(0, 0, 1366, 768);
    {
        std::vector<QPoint> gaps;
        for (int column = 6; column < 8; ++column)
            for (int row = 17; row < 21; ++row) gaps.push_back(QPoint(column, row));
        Scene scene = GridPage(screen, QPoint(0, 0), 8, 21, gaps);  // 770 x 514
        const QRect readout(QPoint(std::min(770, screen.width() - 382), 0), QSize(382, 160));
        scene.keepClear.push_back(readout);
        scene.controls.push_back(readout);
        const QSize graph(708, 288);
        const QRect placed = Place(scene, graph, {QPoint(0, 514), QPoint(0, -288), QPoint(770, 160)});
        EXPECT_TRUE(screen.contains(placed) && placed.size() == graph) << Describe(placed);
        EXPECT_EQ(Covered(scene.controls, placed), 0) << Describe(placed);
    }
    {
        // Nothing on this screen is clear of the page over it. Left, one wide control:
        // a place hides it alone but half of it at best (100, 0). Right, two small
        // ones: a place clear of the wide one hides both, 32 pixels in all. The fewer
        // controls win over the smaller area.
        Scene scene;
        scene.screen = QRect(0, 0, 300, 100);
        scene.keepClear.push_back(scene.screen);
        scene.controls = {QRect(0, 0, 150, 100), QRect(200, 0, 4, 4), QRect(246, 96, 4, 4)};
        const QRect placed = Place(scene, QSize(100, 100), {QPoint(200, 0)});
        EXPECT_EQ(placed, QRect(100, 0, 100, 100))
            << Describe(placed) << " hides " << Covered(scene.controls, placed) << " controls";
    }
}

// Whatever the page, the window lies whole on the screen at its own size, and hides no
// more controls than the best of every place on a 4-pixel lattice.
TEST(SpeedPlace, AWindowIsAlwaysWholeOnTheScreenAndHidesNoMoreControlsThanAnyOtherPlace) {
    const QSize graph(708, 288);
    for (const QRect screen : {QRect(0, 0, 1366, 768), QRect(0, 0, 1024, 768), QRect(-1024, 0, 1024, 768)}) {
        for (const auto& [columns, rows] : {std::pair{8, 21}, std::pair{5, 28}, std::pair{10, 14}, std::pair{3, 9}}) {
            for (const QPoint corner : {QPoint(0, 0), QPoint(200, 150)}) {
                const Scene scene = GridPage(screen, screen.topLeft() + corner, columns, rows,
                                             {QPoint(columns - 1, rows - 1), QPoint(0, rows / 2)});
                const QRect placed = Place(scene, graph, {scene.keepClear.front().bottomLeft() + QPoint(0, 1)});
                int fewest = static_cast<int>(scene.controls.size());
                for (int y = screen.top(); y + graph.height() <= screen.top() + screen.height(); y += 4) {
                    for (int x = screen.left(); x + graph.width() <= screen.left() + screen.width(); x += 4)
                        fewest = std::min(fewest, Covered(scene.controls, QRect(QPoint(x, y), graph)));
                }
                const int covered = Covered(scene.controls, placed);
                EXPECT_TRUE(screen.contains(placed) && placed.size() == graph && covered <= fewest)
                    << "screen " << Describe(screen) << ", page of " << columns << " x " << rows << " at ("
                    << corner.x() << ", " << corner.y() << "): graph " << Describe(placed) << " hides " << covered
                    << ", the lattice's best " << fewest;
            }
        }
    }
}
