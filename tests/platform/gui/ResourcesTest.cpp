// Bitmaps and icons by resource id, the program's icon, and the system look query.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "GuiTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/gui/Resources.h"
#include "platform/gui/SystemLook.h"

using namespace gui;

TEST(Resources, BitmapsLoadByIdAsRgb32AndAMissingIdIsAClearNull) {
    const QImage image = loadBitmap(9001);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(1, 0), 0xFF00FF00u);
    EXPECT_EQ(image.pixel(2, 0), 0xFF0000FFu);
    EXPECT_EQ(image.pixel(2, 1), 0xFF808080u);

    platform::DebugCapture capture;
    EXPECT_TRUE(loadBitmap(424242).isNull());
    EXPECT_TRUE(loadIcon(424242).isNull());
    EXPECT_EQ(capture.count("gui: bitmap resource 424242 not found\n"), 1u);
    EXPECT_EQ(capture.count("gui: icon resource 424242 not found\n"), 1u);
}

TEST(Resources, TheProgramIconHasThreeSizesAndBecomesEveryWindowsIcon) {
    const QIcon icon = loadIcon(resource::ProgramIcon);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
    const QImage at32 = icon.pixmap(QSize(32, 32)).toImage();
    ASSERT_EQ(at32.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(at32.pixel(0, 0)), 0);      // rounded corner
    EXPECT_EQ(qAlpha(at32.pixel(16, 16)), 255);  // the dial

    setProgramIcon();
    Dialog dialog;
    ASSERT_TRUE(dialog.createModeless());
    EXPECT_EQ(dialog.widget()->windowIcon().availableSizes().size(), 3);
    QApplication::setWindowIcon(QIcon());
}

