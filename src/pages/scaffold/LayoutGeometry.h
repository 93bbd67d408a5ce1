// The units a page's geometry table is written in: a size, an offset from a running
// position, and a position. Plain values; the tables are constexpr.
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

}  // namespace pages
