// Bitmaps and icons by resource id. (The program's icon shows in the controls gallery.)
#include <gtest/gtest.h>

#include "platform/core/Debug.h"
#include "platform/gui/Resources.h"

using namespace gui;

TEST(Resources, BitmapsLoadByIdAsRgb32AndAMissingIdIsAClearNull) {
    const QImage image = loadBitmap(9001);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ((std::vector{image.pixel(0, 0), image.pixel(1, 0), image.pixel(2, 0), image.pixel(2, 1)}),
              (std::vector<QRgb>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF808080u}));

    platform::DebugCapture capture;
    EXPECT_EQ((std::tuple{loadBitmap(424242).isNull(), loadIcon(424242).isNull()}), (std::tuple{true, true}));
    EXPECT_EQ((std::tuple{capture.count("gui: bitmap resource 424242 not found\n"), capture.count("gui: icon resource 424242 not found\n")}), (std::tuple{1u, 1u}));
}

