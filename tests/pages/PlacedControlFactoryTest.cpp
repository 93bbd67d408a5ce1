// The one control factory of the hard-coded pages: every decoration a layout entry
// carries reaches the control made from it, the profile decides what is made, captions
// are bound to no word, and a control made on a speed panel joins that panel.
#include <gtest/gtest.h>

#include <QWidget>

#include "pages/scaffold/PlacedControlFactory.h"
#include "platform/gui/GuiTestSupport.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/PageTestSupport.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

namespace {

using pages::ControlClass;
using pages::PlacedControl;

pages::PlacedControl Entry(int kind, int index, ControlClass cls, pages::Rect rect = {10, 10, 120, 24}) {
    PlacedControl c;
    c.key = static_cast<std::uint32_t>(kind) << 16 | static_cast<std::uint32_t>(index);
    c.kind = kind;
    c.index = index;
    c.cls = cls;
    c.rect = rect;
    return c;
}

class PlacedControlFactory : public ::testing::Test {
protected:
    void SetUp() override {
        for (int kind = 1; kind <= 12; ++kind) profile[kind] = 1;
        store.SelectContainer(0x300);
        page.SetDeviceInfo(0x300, profile, QStringLiteral("TM4410"));
        ASSERT_TRUE(page.createModeless(nullptr));
    }
    void TearDown() override { guitest::settle(); }

    template <class T>
    T* Make(const PlacedControl& entry, gui::Window* parent = nullptr) {
        CDerivedControl* made = pages::CreatePlacedControl(page, entry, parent != nullptr ? parent : &page);
        EXPECT_NE(made, nullptr) << "key " << std::hex << entry.key;
        return dynamic_cast<T*>(made);
    }

    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services{&store, &queue};
    std::uint16_t profile[128] = {};
    uitest::SurfacePage page;
};

TEST_F(PlacedControlFactory, EveryDecorationOfAnEntryReachesItsControl) {
    PlacedControl label = Entry(1, 100, ControlClass::Label, {12, 34, 56, 15});
    label.caption = "REF Voltage";
    auto* l = Make<CDerivedLabel>(label);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ((std::tuple{l->text(), l->id(), l->rectInParent()}),
              (std::tuple{QStringLiteral("REF Voltage"), (1 << 16 | 100) + 3000, QRect(12, 34, 56, 15)}));

    PlacedControl check = Entry(2, 0, ControlClass::Check);
    check.caption = "Start";
    check.checkedCaption = "Stop";
    check.plainCheck = true;
    auto* c = Make<CDerivedCheckButton>(check);
    ASSERT_NE(c, nullptr);
    const QString clear = c->text();
    c->SetValue(1);
    EXPECT_EQ((std::tuple{clear, c->text(), c->isPushLike()}),
              (std::tuple{QStringLiteral("Start"), QStringLiteral("Stop"), false}));

    PlacedControl combo = Entry(3, 0, ControlClass::Combo);
    combo.items = {"100%", "80%", "50%"};
    auto* b = Make<CDerivedComboBox>(combo);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ((std::tuple{b->count(), b->itemText(2).value_or(QString())}), (std::tuple{3, QStringLiteral("50%")}));

    PlacedControl tab = Entry(12, 1, ControlClass::Tab, {0, 0, 300, 200});
    tab.items = {"Clock-in", "Parallel"};
    auto* m = Make<CDerivedTab>(tab);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ((std::tuple{m->count(), m->itemText(1), m->GetValue()}), (std::tuple{2, QStringLiteral("Parallel"), 0u}));

    PlacedControl slider = Entry(4, 0, ControlClass::Slider);
    slider.sliderMin = 10;
    slider.sliderMax = 350;
    slider.sliderStart = 80;
    auto* s = Make<CDerivedSlider>(slider);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ((std::tuple{s->GetRangeMin(), s->GetRangeMax(), s->GetValue()}), (std::tuple{10, 350, 80u}));

    // A ratio with its format, read-only, warning above 1.0.
    PlacedControl ratio = Entry(5, 0, ControlClass::Edit);
    ratio.edit = pages::EditFormat{"%#.2lf", 5, 3.3, 4096.0, true, 1.0};
    auto* r = Make<CDerivedEdit>(ratio);
    ASSERT_NE(r, nullptr);
    r->SetValue(2048);
    gui::ColourQuery answer;
    r->ApplyWarningColour(answer);
    EXPECT_EQ((std::tuple{r->GetFormattedText(), r->isReadOnly(), gui::fromQColor(answer.text.value_or(QColor()))}),
              (std::tuple{QStringLiteral("1.65"), true, gui::ColourRef{0x0000FF}}));
    // A value table: the index shows the table's value; an editable box.
    PlacedControl table = Entry(6, 0, ControlClass::Edit);
    table.edit = pages::EditFormat{"%.lf", 6, 0, 0, false, {}, {61, 122, 244}};
    auto* t = Make<CDerivedEdit>(table);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((std::tuple{t->Format(2), t->isReadOnly()}), (std::tuple{QStringLiteral("244"), false}));
    // Unconverted: the multiplier is not applied.
    PlacedControl raw = Entry(7, 0, ControlClass::Edit);
    raw.edit = pages::EditFormat{"%.lf", 3, 10.0, 0, true, {}, {}, false};
    auto* w = Make<CDerivedEdit>(raw);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Format(5), QStringLiteral("5"));

    PlacedControl radio = Entry(8, 2, ControlClass::Radio);
    radio.caption = "High Lv";
    PlacedControl frame = Entry(9, 100, ControlClass::Frame);
    frame.caption = "Step table";
    auto* o = Make<CDerivedRadioButton>(radio);
    auto* f = Make<CDerivedFrame>(frame);
    ASSERT_TRUE(o != nullptr && f != nullptr);
    EXPECT_EQ((std::tuple{o->text(), f->text()}),
              (std::tuple{QStringLiteral("High Lv"), QStringLiteral("Step table")}));

    // Lamp: green on, red off (0x00BBGGRR), seen at the disc's centre.
    PlacedControl lamp = Entry(10, 0, ControlClass::ImageLabel, {10, 10, 20, 20});
    lamp.onColour = 0x00FF00;
    lamp.offColour = 0x0000FF;
    auto* p = Make<CDerivedImageLabel>(lamp);
    ASSERT_NE(p, nullptr);
    const auto centre = [&](std::uint32_t value) {
        p->SetValue(value);
        const QRgb rgb = p->widget()->grab().toImage().pixel(10, 10);
        return std::pair{qRed(rgb) > 100, qGreen(rgb) > 100};
    };
    EXPECT_EQ((std::pair{centre(1), centre(0)}), (std::pair{std::pair{false, true}, std::pair{true, false}}));

    // Gradient bar: a wedge (its upper left corner cut away), the first stop's colour at its
    // left end, the last one's (to the band's rounding) at its right.
    PlacedControl bar = Entry(11, 0, ControlClass::ColourLabel, {10, 10, 101, 25});
    bar.gradient = {{0, 0xFF0000}, {100, 0x0000FF}};
    auto* g = Make<CDerivedColorLabel>(bar);
    ASSERT_NE(g, nullptr);
    const QRegion wedge = g->widget()->mask();
    EXPECT_EQ((std::pair{wedge.contains(QPoint(2, 2)), wedge.contains(QPoint(98, 22))}), (std::pair{false, true}));
    const gui::Bitmap& image = g->GetImage().GetDC();
    EXPECT_EQ((std::pair{image.pixel(0, 24), image.pixel(100, 24) & 0xF0F0F0u}),
              (std::pair{gui::ColourRef{0xFF0000}, gui::ColourRef{0x0000F0}}));
}

TEST_F(PlacedControlFactory, TheProfileDecidesWhatIsMadeCaptionsAreBoundToNoWordAndAPanelHostsItsControls) {
    // Kind 13's profile word is 0: nothing is made, nothing is left in the page's map.
    const PlacedControl absent = Entry(13, 0, ControlClass::Check);
    EXPECT_EQ(pages::CreatePlacedControl(page, absent, &page), nullptr);
    EXPECT_EQ(page.FindControlByKey(absent.key), nullptr);

    PlacedControl field = Entry(1, 0, ControlClass::Combo);
    field.lsb = 3;
    field.bitCount = 2;
    auto* bound = Make<CDerivedComboBox>(field);
    auto* caption = Make<CDerivedLabel>(Entry(1, 100, ControlClass::Label));
    auto* frame = Make<CDerivedFrame>(Entry(2, 0, ControlClass::Frame));
    ASSERT_TRUE(bound != nullptr && caption != nullptr && frame != nullptr);
    const auto binding = [](const CDerivedControl* c) {
        const ControlBinding b = c->GetBinding();
        return std::tuple{b.word, b.lowestBit, b.bitCount};
    };
    EXPECT_EQ(binding(bound), (std::tuple{1, 3u, 2u}));
    EXPECT_EQ((std::pair{std::get<0>(binding(caption)), std::get<0>(binding(frame))}), (std::pair{-1, -1}));
    EXPECT_EQ(page.FindControlByKey(field.key), bound);

    // A control made on a speed panel (owned by the page, as the pages do) is one of the
    // panel's hosted controls already.
    auto owned = std::make_unique<CSubDialog_Graph>();
    ASSERT_TRUE(owned->createModeless(&page));
    CSubDialog_Graph* panel = owned.get();
    page.SetGraph(std::move(owned));
    auto* hosted = Make<CDerivedButton>(Entry(3, 0, ControlClass::Button), panel);
    ASSERT_NE(hosted, nullptr);
    EXPECT_EQ(panel->AddControl(hosted), 0) << "a second AddControl of the same control is refused";
}

}  // namespace
