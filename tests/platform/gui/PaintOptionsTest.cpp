// A window that paints its whole area gets no background painted beneath it.
#include <gtest/gtest.h>

#include "platform/gui/PaintOptions.h"
#include "platform/gui/Window.h"

TEST(PaintOptions, AWindowCanPaintItsWholeAreaItself) {
    gui::Window window;
    EXPECT_FALSE(gui::paintsWholeArea(window));  // no widget yet: nothing to set
    gui::setPaintsWholeArea(window);
    ASSERT_TRUE(window.create(nullptr, 0, QRect(0, 0, 20, 20), 0));
    EXPECT_FALSE(gui::paintsWholeArea(window));
    gui::setPaintsWholeArea(window);
    EXPECT_TRUE(gui::paintsWholeArea(window));
    gui::setPaintsWholeArea(window, false);
    EXPECT_FALSE(gui::paintsWholeArea(window));
}
