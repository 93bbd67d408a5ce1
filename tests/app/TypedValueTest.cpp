// A value typed into a page's edit reaches the board held to the range of its slider.
#include <gtest/gtest.h>

#include "PageRigSupport.h"
#include "pages/bldc/BldcPage.h"
#include "ui/EditControl.h"

using namespace apptest;

TEST(TypedValue, PwminTypedAboveFullScaleDrivesFullScaleOnly) {
    PageRig<CDeviceDialog_BLDC> r;
    CDeviceDialog_BLDC* page = r.Open(0x300);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(guitest::waitFor([&] { return page->SampleCounter() > 0; }, 5000));
    Change(*page, 26, 0, 0);  // polling off
    r.Take();
    auto* edit = dynamic_cast<CDerivedEdit*>(page->FindControl(0, 1));
    ASSERT_NE(edit, nullptr);
    guitest::focusForKeys(*edit);
    edit->setText("150");
    guitest::userKey(*edit, Qt::Key_Return);
    // 150 % is 360, held to 240: channel 1 at 240 - 240 ([4] 00), not a wrapped 0x88.
    ExpectFrames(r.Take(), {F("50 E0 F0 00 00 00 80 00 FF FF 00")});
    EXPECT_EQ(r.rig.data.GetValue(0), 240u);
    EXPECT_EQ(edit->text(), "100.00");
}
