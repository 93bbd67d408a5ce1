// Painting options of a window that the window layer does not set by default.
#pragma once

#include <QRect>

namespace gui {

class Window;

// A window whose paint hook covers every pixel of its area: no background is painted
// beneath it first (the system's "erase background" that does nothing). Saves a fill
// of the whole area at every repaint of a picture that changes each tick.
void setPaintsWholeArea(Window& window, bool whole = true);
bool paintsWholeArea(const Window& window);

// Repaints only rect (client coordinates) soon, for a picture that changed only there.
void invalidatePart(Window& window, const QRect& rect);

}  // namespace gui
