// The control base: what Update shows for an event, the store binding and its limits,
// the record's style and formulas, and the change report to the parent.
#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "data/Mathematics.h"
#include "platform/core/Debug.h"
#include "platform/gui/GuiTestSupport.h"
#include "surface/XmlControlConainer.h"
#include "ui/FrequencyTable.h"

namespace {

using uitest::TestCheck;
using uitest::TestLabel;
using uitest::TestSlider;

std::unique_ptr<CXmlControlConainer> Record(const char* word, const char* lsb = nullptr, const char* length = nullptr)
{
    auto r = std::make_unique<CXmlControlConainer>();
    r->SetContainerId(word);
    if (lsb != nullptr) r->SetLsbBit(lsb);
    if (length != nullptr) r->SetBitLength(length);
    return r;
}

// A store with block `key` selected and word 10 = 0xABCD1234.
struct Store {
    explicit Store(std::int32_t key = 0x300)
    {
        store.SelectContainer(key);
        store.SetValue(10, 0xABCD1234u);
    }
    CDerivedDataContainer store;
};

}  // namespace

TEST(ControlUpdate, SkipsItsOwnChangeUnlessTheEventAsksForARefresh)
{
    Store s;
    TestLabel label(nullptr, 1010);
    label.SetElement(Record("10"));
    CDerivedControl* self = &label;

    CDerivedEvent own(self, &s.store, 0);
    EXPECT_EQ(label.Update(&own), 1);
    EXPECT_EQ(label.shown, 0);

    CDerivedEvent refresh(self, &s.store, 1);
    EXPECT_EQ(label.Update(&refresh), 1);
    EXPECT_EQ(label.shown, 1);
    EXPECT_EQ(label.GetValue(), 0xABCD1234u);

    // Another control's change refreshes it whatever the flag.
    TestLabel other(nullptr, 1011);
    s.store.SetValue(10, 77);
    CDerivedEvent fromOther(static_cast<CDerivedControl*>(&other), &s.store, 0);
    label.Update(&fromOther);
    EXPECT_EQ(label.GetValue(), 77u);

    EXPECT_EQ(label.Update(nullptr), 0);
    CDerivedEvent noStore(static_cast<CDerivedControl*>(&other), nullptr, 1);
    CDerivedDataContainer nothingSelected;
    nothingSelected.SelectContainer(0x7777);  // no such device: nothing is selected
    CDerivedEvent noBlock(static_cast<CDerivedControl*>(&other), &nothingSelected, 1);
    const int before = label.shown;
    label.Update(&noStore);
    label.Update(&noBlock);  // its reads would be 0xFFFFFFFF
    EXPECT_EQ(label.shown, before);
}

TEST(ControlUpdate, ReadsTheFieldOrTheWholeWordOfItsBinding)
{
    Store s;
    TestLabel other(nullptr, 1);
    CDerivedEvent event(static_cast<CDerivedControl*>(&other), &s.store, 0);
    const auto shows = [&](std::unique_ptr<CXmlControlConainer> record) {
        TestLabel label(nullptr, 1010);
        label.SetElement(std::move(record));
        label.Update(&event);
        return label.GetValue();
    };
    EXPECT_EQ(shows(Record("10", "4", "4")), 0x3u);
    EXPECT_EQ(shows(Record("10", "28", "4")), 0xAu);
    // No length, or no lowest bit: the whole word, whatever the other field says.
    EXPECT_EQ(shows(Record("10", "5", "0")), 0xABCD1234u);
    EXPECT_EQ(shows(Record("10", "-1", "3")), 0xABCD1234u);

    // Without a record the control's own word and field count.
    TestLabel own(nullptr, 1010);
    ASSERT_TRUE(own.SetRegister(10, 0));
    ASSERT_EQ(own.SetBitField(8, 8), 1);
    own.Update(&event);
    EXPECT_EQ(own.GetValue(), 0x12u);
    // Bound to nothing: nothing is read or shown.
    TestLabel unbound(nullptr, 1010);
    unbound.Update(&event);
    EXPECT_EQ(unbound.shown, 0);
    EXPECT_FALSE(unbound.GetBinding().IsBound());
}

TEST(ControlUpdate, FirstLensSurfaceShowsFrequencyStepsAndInvertedNibbles)
{
    Store lens(0x400);
    TestLabel source(nullptr, 1);
    CDerivedEvent event(static_cast<CDerivedControl*>(&source), &lens.store, 0);
    const auto shows = [&](CDerivedControl& control, std::uint32_t stored) {
        lens.store.SetValue(20, stored);
        control.Update(&event);
        return control.GetValue();
    };
    for (std::uint32_t id : {1027u, 1054u}) {
        TestSlider slider(nullptr, id);
        slider.SetElement(Record("20"));
        EXPECT_EQ(shows(slider, 100000), 51u) << id;
        EXPECT_EQ(shows(slider, 0), 0u);
        EXPECT_EQ(shows(slider, 1500), 11u);
        EXPECT_EQ(shows(slider, 150), 150u);  // no such step: shown as it is
    }
    for (std::uint32_t id : {1078u, 1080u}) {
        TestLabel label(nullptr, id);
        label.SetElement(Record("20"));
        EXPECT_EQ(shows(label, 0x5A), 0x55u) << id;
        EXPECT_EQ(shows(label, 0x1F3), 0xFCu);  // only the low byte survives
    }
    // The rules belong to those ids and kinds only, and to block 0x400 only.
    TestSlider otherSlider(nullptr, 1028);
    otherSlider.SetElement(Record("20"));
    EXPECT_EQ(shows(otherSlider, 100000), 100000u);
    TestLabel labelOnSliderId(nullptr, 1027);
    labelOnSliderId.SetElement(Record("20"));
    EXPECT_EQ(shows(labelOnSliderId, 100000), 100000u);
    TestSlider sliderOnLabelId(nullptr, 1080);
    sliderOnLabelId.SetElement(Record("20"));
    EXPECT_EQ(shows(sliderOnLabelId, 0x5A), 0x5Au);

    Store second(0x401);
    CDerivedEvent onSecond(static_cast<CDerivedControl*>(&source), &second.store, 0);
    TestSlider slider(nullptr, 1027);
    slider.SetElement(Record("20"));
    second.store.SetValue(20, 100000);
    slider.Update(&onSecond);
    EXPECT_EQ(slider.GetValue(), 100000u);

    EXPECT_EQ(frequencysteps::Table().size(), 52u);
    EXPECT_EQ(frequencysteps::FrequencyAt(51), 100000u);
    EXPECT_EQ(frequencysteps::FrequencyAt(52), 0u);
    EXPECT_EQ(frequencysteps::FrequencyAt(-1), 0u);
}

TEST(ControlBinding, RefusesWordsAndFieldsOutsideTheBlock)
{
    platform::DebugCapture debug;
    TestLabel label(nullptr, 3000);
    EXPECT_FALSE(label.SetRegister(-1, 0x2000));
    EXPECT_EQ(label.GetRegisterAddress(), -1);
    EXPECT_EQ(label.GetProfileWord(), 0x2000u);
    EXPECT_TRUE(label.SetRegisterEx(5, 9, 0x13));
    EXPECT_EQ(label.GetRegisterParam(), 9u);

    EXPECT_FALSE(label.SetRegister(256, 1));
    EXPECT_FALSE(label.SetRegisterEx(-2, 1, 1));
    EXPECT_EQ(label.GetRegisterAddress(), 5);
    EXPECT_EQ(label.GetProfileWord(), 0x13u);

    EXPECT_EQ(label.SetBitField(31, 1), 1);
    EXPECT_EQ(label.SetBitField(30, 3), 0);
    EXPECT_EQ(label.SetBitField(32, 0), 0);
    EXPECT_EQ(label.SetBitField(0, 33), 0);
    EXPECT_EQ(label.GetBitPosition(), 31u);
    EXPECT_EQ(label.GetBitCount(), 1u);
    EXPECT_EQ(debug.lines().size(), 5u);
}

TEST(ControlElement, RecordSetsTheGroupStyleAndBuildsTheFormulas)
{
    TestCheck check(nullptr, 1001);
    auto record = Record("3");
    record->SetRadioGroup("1");
    record->SetFormula("%p * 2 + 1", 1);
    ASSERT_TRUE(check.SetElement(std::move(record)));
    EXPECT_NE(check.GetCreateStyle() & gui::style::Group, 0u);
    ASSERT_NE(check.GetSendFormula(), nullptr);
    EXPECT_EQ(check.GetReceiveFormula(), nullptr);
    check.GetSendFormula()->SetVariable(20);
    EXPECT_DOUBLE_EQ(check.GetSendFormula()->Evaluate(), 41.0);

    // A record without formulas leaves none from the one before.
    ASSERT_TRUE(check.SetElement(Record("3")));
    EXPECT_EQ(check.GetSendFormula(), nullptr);
    EXPECT_EQ(check.GetReceiveFormula(), nullptr);
    EXPECT_FALSE(check.SetElement(nullptr));
    EXPECT_EQ(check.GetElement(), nullptr);
    EXPECT_EQ(check.GetControlKind(), CDerivedControl::kKindCheckButton);
}

TEST(ControlWindow, CreatesWithItsClassStyleAndReportsChangesToItsParentAtOnce)
{
    guitest::SpyWindow parent;
    ASSERT_TRUE(parent.create(nullptr, 0, QRect(100, 100, 300, 200)));
    parent.show();
    TestCheck check(&parent, 3105);
    ASSERT_TRUE(check.SetRegister(12, 0));
    ASSERT_TRUE(check.CreateControlWindow(QPoint(10, 20), 80, 24));
    EXPECT_FALSE(check.CreateControlWindow(QPoint(0, 0), 10, 10));
    EXPECT_EQ(check.parent(), &parent);
    EXPECT_EQ(check.id(), 3105);
    EXPECT_EQ(check.rectInParent(), QRect(10, 20, 80, 24));
    const std::uint32_t want = gui::style::Visible | gui::style::TabStop | gui::style::PushLike;
    EXPECT_EQ(check.style() & want, want);
    EXPECT_TRUE(check.wantsAllKeys());

    // The parent's handler runs inside the click, with the new value already set.
    std::uint32_t seenValue = 99;
    parent.answer = [&](std::uint32_t m, gui::WParam, gui::LParam l) -> gui::LResult {
        if (m == gui::msg::ControlChanged) seenValue = reinterpret_cast<CDerivedControl*>(l)->GetValue();
        return 0;
    };
    QTest::mouseClick(check.widget(), Qt::LeftButton, {}, QPoint(5, 5));
    const auto reports = parent.only(gui::msg::ControlChanged);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].w, 12u);
    EXPECT_EQ(reports[0].l, reinterpret_cast<gui::LParam>(static_cast<CDerivedControl*>(&check)));
    EXPECT_EQ(seenValue, 1u);
    EXPECT_EQ(check.check(), 1);

    // Without a data word the report carries -1.
    TestCheck unbound(&parent, 3106);
    ASSERT_TRUE(unbound.CreateControlWindow(QPoint(10, 60), 80, 24));
    EXPECT_EQ(unbound.NotifyParent(), 1);
    EXPECT_EQ(static_cast<std::int32_t>(static_cast<std::intptr_t>(parent.only(gui::msg::ControlChanged)[1].w)), -1);

    // Once the parent is gone a report goes nowhere.
    parent.destroy();
    EXPECT_EQ(unbound.NotifyParent(), 1);
    TestCheck orphan(&parent, 3107);
    EXPECT_FALSE(orphan.CreateControlWindow(QPoint(0, 0), 10, 10));
    guitest::settle();
}
