// A value typed into a page's edit reaches the board held to the range of its slider.
#include <gtest/gtest.h>

#include "PageRigSupport.h"
#include "pages/bldc/BldcPage.h"
#include "ui/EditControl.h"
#include "ui/SliderControl.h"

using namespace apptest;

namespace {

// The slider bound to the same word and field as the edit.
CDerivedControl* SliderBeside(const CDerivedDialog& page, const CDerivedControl& edit) {
    const ControlBinding want = edit.GetBinding();
    for (const auto& [key, c] : page.Controls()) {
        const ControlBinding b = c->GetBinding();
        if (dynamic_cast<CDerivedSlider*>(c.get()) != nullptr && b.word == want.word && b.lowestBit == want.lowestBit &&
            b.bitCount == want.bitCount) {
            return c.get();
        }
    }
    return nullptr;
}

struct Landing {
    std::uint32_t stored;
    std::string text;
    std::vector<Bytes> frames;
};

// Each text typed past an end of the edit's slider lands where the slider dragged to that
// end (`end`) lands, from the same place: the same stored word, the same text in the edit,
// the slider at the end, the same frames (`sends`: whether the change sends any at once).
void ExpectTypedLandsAtTheEnd(PageRig<CDerivedDialog>& r, CDerivedDialog& page, CDerivedControl* control,
                              std::initializer_list<const char*> typed, std::uint32_t end, const char* shown,
                              bool sends = false) {
    auto* edit = dynamic_cast<CDerivedEdit*>(control);
    ASSERT_NE(edit, nullptr);
    CDerivedControl* slider = SliderBeside(page, *edit);
    ASSERT_NE(slider, nullptr);
    const ControlBinding binding = edit->GetBinding();
    const auto from = [&] {
        slider->SetValue(end == 0 ? 1 : end - 1);
        slider->NotifyParent();
        r.Take();
    };
    const auto landing = [&] {
        std::vector<Bytes> frames = r.Take();
        return Landing{binding.Read(r.rig.data), edit->text().toStdString(), std::move(frames)};
    };
    from();
    slider->SetValue(end);
    slider->NotifyParent();
    const Landing dragged = landing();
    EXPECT_EQ((std::tuple{dragged.stored, dragged.text, !dragged.frames.empty()}),
              (std::tuple{end, std::string(shown), sends}));
    for (const char* text : typed) {
        SCOPED_TRACE(std::string("typed ") + text);
        from();
        guitest::focusForKeys(*edit);
        edit->setText(QString::fromLatin1(text));
        guitest::userKey(*edit, Qt::Key_Return);
        const Landing got = landing();
        EXPECT_EQ((std::tuple{got.stored, got.text, slider->GetValue()}),
                  (std::tuple{dragged.stored, dragged.text, end}));
        ExpectFrames(got.frames, dragged.frames);
    }
}

}  // namespace

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

// A value past the far end of a frequency table, a voltage field or a count is held at
// that end, whichever page shows it, as the slider dragged there gives; and so is the
// near end.
TEST(TypedValue, AValuePastAnEndOfTheRangeIsHeldAtThatEndOnEveryPage) {
    {
        PageRig<CDerivedDialog> r;
        CDerivedDialog* page = r.Open(0x200);  // DC
        ASSERT_NE(page, nullptr);
        Change(*page, 20, 0, 0);  // polling off
        // PWM Frequency: the table's last step, 10 kHz, on the wire.
        ExpectTypedLandsAtTheEnd(r, *page, page->FindControl(2, 1), {"99999999", "10001"}, 27, "10000", true);
        ExpectTypedLandsAtTheEnd(r, *page, page->FindControl(2, 1), {"-5", "99"}, 0, "100", true);
    }
    {
        PageRig<CDerivedDialog> r;
        CDerivedDialog* page = r.Open(0x100);  // KT3310
        ASSERT_NE(page, nullptr);
        // Start Clock Frequency: 500 pps, the last of its five steps.
        ExpectTypedLandsAtTheEnd(r, *page, page->FindControl(9, 1), {"99999999", "1e9"}, 4, "500");
    }
    {
        PageRig<CDerivedDialog> r;
        CDerivedDialog* page = r.Open(0x400);  // KT3532, built from its surface
        ASSERT_NE(page, nullptr);
        // REF: a 4-bit field under a 0..15 slider, shown as (n + 5) / 100 V; once kept
        // as the low four bits of what was typed (99 as 3, 1e9 as 0).
        ExpectTypedLandsAtTheEnd(r, *page, page->FindControlByKey(0x3F2), {"99", "1e9"}, 15, "0.20");
        ExpectTypedLandsAtTheEnd(r, *page, page->FindControlByKey(0x3F2), {"-1"}, 0, "0.05");
        // Pulse Count: a 16-bit field under a 0..32767 slider, whose end is "cont.".
        ExpectTypedLandsAtTheEnd(r, *page, page->FindControlByKey(0x405), {"99999999999", "40000"}, 32767, "cont.");
    }
}
