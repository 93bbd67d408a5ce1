// The units a page's geometry table is written in: a size, an offset from a running
// position, a position, and a placed rectangle. Plain values; the tables are constexpr.
#pragma once

namespace pages {

struct Size {
    int w = 0, h = 0;
};
struct Offset {
    int dx = 0, dy = 0;
};
struct Point {
    int x = 0, y = 0;
};
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

}  // namespace pages
