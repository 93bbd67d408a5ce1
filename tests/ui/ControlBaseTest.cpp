// The control base: Update, the store binding, the record, and a parent that is gone.
#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/gui/GuiTestSupport.h"
#include "surface/XmlControlConainer.h"

namespace {

using uitest::TestCheck;
using uitest::TestLabel;
using uitest::TestSlider;

std::unique_ptr<CXmlControlConainer> Record(const char* word, const char* lsb = "-1", const char* length = "0")
{
    auto r = std::make_unique<CXmlControlConainer>();
    r->SetContainerId(word);
    r->SetLsbBit(lsb);
    r->SetBitLength(length);
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
    TestLabel source{nullptr, 1};
    CDerivedEvent event{static_cast<CDerivedControl*>(&source), &store, 0};
};

}  // namespace

TEST(ControlUpdate, SkipsItsOwnChangeUnlessTheEventAsksForARefresh)
{
    Store s;
    TestLabel label(nullptr, 1010);
    label.SetElement(Record("10"));
    CDerivedEvent own(static_cast<CDerivedControl*>(&label), &s.store, 0);
    EXPECT_EQ((std::tuple{label.Update(&own), label.shown}), (std::tuple{1, 0}));
    CDerivedEvent refresh(static_cast<CDerivedControl*>(&label), &s.store, 1);
    EXPECT_EQ((std::tuple{label.Update(&refresh), label.GetValue()}), (std::tuple{1, 0xABCD1234u}));
    // Another control's change refreshes it whatever the flag.
    s.store.SetValue(10, 77);
    label.Update(&s.event);
    EXPECT_EQ(label.GetValue(), 77u);

    // No event, no store, or nothing selected: nothing shown.
    EXPECT_EQ(label.Update(nullptr), 0);
    CDerivedEvent noStore(static_cast<CDerivedControl*>(&s.source), nullptr, 1);
    s.store.SelectContainer(0x7777);
    const int before = label.shown;
    label.Update(&noStore);
    label.Update(&s.event);
    EXPECT_EQ(label.shown, before);
}

TEST(ControlUpdate, ReadsTheFieldOrTheWholeWordOfItsBinding)
{
    Store s;
    const auto shows = [&](std::unique_ptr<CXmlControlConainer> record) {
        TestLabel label(nullptr, 1010);
        label.SetElement(std::move(record));
        label.Update(&s.event);
        return label.GetValue();
    };
    EXPECT_EQ(shows(Record("10", "28", "4")), 0xAu);
    // No length, or no lowest bit: the whole word, whatever the other field says.
    EXPECT_EQ((std::tuple{shows(Record("10", "5", "0")), shows(Record("10", "-1", "3"))}), (std::tuple{0xABCD1234u, 0xABCD1234u}));

    // Without a record the control's own word and field count.
    TestLabel own(nullptr, 1010);
    ASSERT_TRUE(own.SetRegister(10, 0));
    ASSERT_EQ(own.SetBitField(8, 8), 1);
    own.Update(&s.event);
    EXPECT_EQ(own.GetValue(), 0x12u);
    TestLabel unbound(nullptr, 1010);
    unbound.Update(&s.event);
    EXPECT_EQ(unbound.shown, 0);
}

TEST(ControlUpdate, FirstLensSurfaceShowsFrequencyStepsAndInvertedNibbles)
{
    Store lens(0x400);
    const auto shows = [&](CDerivedControl&& control, std::uint32_t stored, Store& s) {
        control.SetElement(Record("20"));
        s.store.SetValue(20, stored);
        control.Update(&s.event);
        return control.GetValue();
    };
    for (std::uint32_t id : {1027u, 1054u}) {
        EXPECT_EQ(shows(TestSlider(nullptr, id), 100000, lens), 51u) << id;
        EXPECT_EQ(shows(TestSlider(nullptr, id), 1500, lens), 11u) << id;
        EXPECT_EQ(shows(TestSlider(nullptr, id), 150, lens), 150u) << id;  // no such step: shown as it is
    }
    for (std::uint32_t id : {1078u, 1080u}) {
        EXPECT_EQ(shows(TestLabel(nullptr, id), 0x5A, lens), 0x55u) << id;
        EXPECT_EQ(shows(TestLabel(nullptr, id), 0x1F3, lens), 0xFCu) << id;  // only the low byte survives
    }
    // Only those ids and kinds, only on block 0x400.
    EXPECT_EQ(shows(TestSlider(nullptr, 1028), 100000, lens), 100000u);
    EXPECT_EQ(shows(TestLabel(nullptr, 1027), 100000, lens), 100000u);
    EXPECT_EQ(shows(TestSlider(nullptr, 1080), 0x5A, lens), 0x5Au);
    Store second(0x401);
    EXPECT_EQ(shows(TestSlider(nullptr, 1027), 100000, second), 100000u);
}

TEST(ControlBinding, RefusesWordsAndFieldsOutsideTheBlock)
{
    platform::DebugCapture debug;
    TestLabel label(nullptr, 3000);
    EXPECT_EQ((std::tuple{label.SetRegisterEx(5, 9, 0x13), label.SetRegister(256, 1), label.SetRegisterEx(-2, 1, 1)}), (std::tuple{true, false, false}));
    EXPECT_EQ((std::pair{label.GetRegisterAddress(), label.GetProfileWord()}), (std::pair{5, 0x13u}));

    EXPECT_EQ(label.SetBitField(0, 32), 1);
    EXPECT_EQ(label.SetBitField(31, 1), 1);
    for (auto [lsb, length] : {std::pair{30, 3}, {32, 0}, {0, 33}}) EXPECT_EQ(label.SetBitField(lsb, length), 0) << lsb;
    EXPECT_EQ((std::pair{label.GetBitPosition(), label.GetBitCount()}), (std::pair{31u, 1u}));
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
    EXPECT_NE(check.GetSendFormula(), nullptr);
    EXPECT_EQ(check.GetReceiveFormula(), nullptr);
    // A record without formulas leaves none from the one before.
    ASSERT_TRUE(check.SetElement(Record("3")));
    EXPECT_EQ(check.GetSendFormula(), nullptr);
}

TEST(ControlWindow, IsMadeOnceAndReportsNowhereOnceItsParentIsGone)
{
    guitest::SpyWindow parent;
    ASSERT_TRUE(parent.create(nullptr, 0, QRect(100, 100, 300, 200)));
    TestCheck check(&parent, 3105);
    ASSERT_TRUE(check.CreateControlWindow(QPoint(10, 20), 80, 24));
    EXPECT_FALSE(check.CreateControlWindow(QPoint(0, 0), 10, 10));  // it exists already
    parent.destroy();
    EXPECT_EQ((std::tuple{check.NotifyParent(), TestCheck(&parent, 3107).CreateControlWindow(QPoint(0, 0), 10, 10)}), (std::tuple{1, false}));
    guitest::settle();
}
