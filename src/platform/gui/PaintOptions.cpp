#include "platform/gui/PaintOptions.h"

#include <QWidget>

#include "platform/gui/Window.h"

namespace gui {

void setPaintsWholeArea(Window& window, bool whole) {
    for (QWidget* w : {window.widget(), window.clientWidget()}) {
        if (w != nullptr) w->setAttribute(Qt::WA_OpaquePaintEvent, whole);
    }
}

bool paintsWholeArea(const Window& window) {
    const QWidget* w = window.clientWidget() != nullptr ? window.clientWidget() : window.widget();
    return w != nullptr && w->testAttribute(Qt::WA_OpaquePaintEvent);
}

void invalidatePart(Window& window, const QRect& rect) {
    if (QWidget* w = window.clientWidget() != nullptr ? window.clientWidget() : window.widget()) w->update(rect);
}

}  // namespace gui
