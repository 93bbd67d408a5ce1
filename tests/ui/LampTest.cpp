#include <gtest/gtest.h>

#include <QPalette>
#include <QPixmap>
#include <QWidget>

#include "SpeedTestSupport.h"
#include "platform/gui/GuiTestSupport.h"
#include "ui/DisplayControls.h"

TEST(Lamp, IsDrawnOverItsBackgroundNotOnASquare)
{
    gui::Window parent;
    ASSERT_TRUE(parent.create(nullptr, 0, QRect(0, 0, 40, 40), 0));
    QPalette palette = parent.widget()->palette();
    palette.setColor(QPalette::Window, QColor(0x20, 0x40, 0x60));
    parent.widget()->setPalette(palette);
    parent.widget()->setAutoFillBackground(true);
    CDerivedImageLabel lamp(&parent, 3018);
    ASSERT_TRUE(lamp.CreateControlWindow(QPoint(10, 10), 20, 20));
    lamp.SetLampColours(0x00FF00, 0x0000FF);
    lamp.SetValue(1);
    parent.show();
    guitest::settle();
    const QImage shot = parent.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(speedtest::SavePng(shot, QStringLiteral("lamp_on_dark_background")));
    EXPECT_EQ(shot.pixel(29, 29), qRgb(0x20, 0x40, 0x60));
    EXPECT_GT(qGreen(shot.pixel(20, 20)), 100);
    EXPECT_EQ(qRed(shot.pixel(20, 20)), 0);
}
