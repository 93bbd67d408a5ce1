// The page's controls through real input on a window of the layer: each user action
// gives exactly one ControlChanged (0x8100) with the value the control then holds; the
// edit's formats and its commits; the display controls; the floating dialog; and a
// page of one control of each class rendered to build/screenshots/.
#include <gtest/gtest.h>

#include <tuple>

#include <QApplication>
#include <QDir>
#include <QWheelEvent>
#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "data/ParameterDecoder.h"
#include "platform/gui/GuiTestSupport.h"
#include "surface/XmlControlConainer.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/FloatDialog.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

namespace {

constexpr std::int32_t kWord = 5;

gui::DialogTemplate HostTemplate()
{
    gui::DialogTemplate t;
    t.caption = QStringLiteral("Host");
    t.size = QSize(260, 160);
    t.fontFace = QStringLiteral("Arial");
    return t;
}

// A window hosting the controls under test; records every message it receives.
class ControlHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.createModeless(nullptr));
        host.show();
    }
    void TearDown() override
    {
        host.destroy();
        guitest::settle();
    }
    template <class C>
    std::unique_ptr<C> Make(std::uint32_t id, const QRect& r, std::int32_t word = kWord)
    {
        auto c = std::make_unique<C>(&host, id);
        c->SetRegister(word, 0);
        EXPECT_TRUE(c->CreateControlWindow(r.topLeft(), r.width(), r.height()));
        return c;
    }
    // The change reports so far, as (data word, control).
    std::vector<std::pair<std::int32_t, const void*>> Changes() const
    {
        std::vector<std::pair<std::int32_t, const void*>> out;
        for (const guitest::Received& m : host.only(gui::msg::ControlChanged)) {
            out.emplace_back(static_cast<std::int32_t>(static_cast<std::intptr_t>(m.w)),
                             reinterpret_cast<const void*>(m.l));
        }
        return out;
    }
    std::size_t ChangeCount() const { return host.only(gui::msg::ControlChanged).size(); }
    void Wheel(gui::Window& w, int delta)
    {
        QWheelEvent wheel(QPointF(5, 5), QPointF(w.clientToScreen(QPoint(5, 5))), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.widget(), &wheel);
    }

    guitest::Spy<gui::Dialog> host{HostTemplate()};
};

const void* Ptr(const CDerivedControl* c) { return static_cast<const void*>(c); }

std::unique_ptr<IParameterDecoder> Decoder(std::int32_t kind, double a, const char* format)
{
    auto decoder = std::make_unique<CDerivedParameterDecoder>();
    auto p = std::make_unique<ParameterRecord>();
    p->kind = kind;
    p->a = a;
    p->format = format;
    decoder->SetParameter(std::move(p));
    return decoder;
}

// A control of class C made on the page as the page's builder does.
template <class C>
C* Place(uitest::SurfacePage& page, std::uint32_t key, std::uint32_t id, const QRect& r)
{
    auto c = std::make_unique<C>(&page, id);
    c->CreateControlWindow(r.topLeft(), r.width(), r.height());
    c->SetFont(page.GetPageFont());
    return static_cast<C*>(page.AddControl(key, std::move(c)));
}

}  // namespace

TEST_F(ControlHost, PushButtonNotifiesOnReleaseAfterAPressOnItWhereverThePointerIs)
{
    auto button = Make<CDerivedButton>(3002, QRect(10, 10, 80, 24));
    EXPECT_EQ(button->GetControlKind(), 2u);
    guitest::userPress(*button, QPoint(5, 5));
    EXPECT_EQ(ChangeCount(), 0u);
    guitest::userRelease(*button, QPoint(200, 100));  // released outside
    EXPECT_EQ(Changes(), (std::vector<std::pair<std::int32_t, const void*>>{{kWord, Ptr(button.get())}}));
    // A release with no press on the button first: nothing.
    guitest::userRelease(*button, QPoint(5, 5));
    EXPECT_EQ(ChangeCount(), 1u);
}

TEST_F(ControlHost, CheckButtonTogglesWithItsCaptionOnlyOnAReleaseInsideIt)
{
    auto check = Make<CDerivedCheckButton>(3003, QRect(10, 10, 80, 24));
    check->SetCaptions(QStringLiteral("ON"), QStringLiteral("OFF"));
    check->SetValue(0);
    EXPECT_EQ(check->text(), QStringLiteral("OFF"));
    guitest::userClick(*check);
    EXPECT_EQ(Changes(), (std::vector<std::pair<std::int32_t, const void*>>{{kWord, Ptr(check.get())}}));
    EXPECT_EQ((std::tuple{check->GetValue(), check->text(), check->check()}), (std::tuple{1u, QStringLiteral("ON"), 1}));
    // Pressed inside, released outside: neither a toggle nor a report.
    guitest::userPress(*check, QPoint(5, 5));
    guitest::userRelease(*check, QPoint(150, 5));
    EXPECT_EQ((std::pair{ChangeCount(), check->GetValue()}), (std::pair{std::size_t{1}, 1u}));
}

TEST_F(ControlHost, RadioButtonsShowOnlyTheStoredValueOfTheirGroup)
{
    auto five = Make<CDerivedRadioButton>(3105, QRect(10, 10, 80, 20));
    auto alsoFive = Make<CDerivedRadioButton>(3205, QRect(10, 30, 80, 20));
    auto six = Make<CDerivedRadioButton>(3106, QRect(10, 50, 80, 20));
    EXPECT_EQ((std::pair{five->GetValue(), alsoFive->GetValue()}), (std::pair{5u, 5u}));

    guitest::userClick(*six);
    EXPECT_EQ(Changes(), (std::vector<std::pair<std::int32_t, const void*>>{{kWord, Ptr(six.get())}}));
    EXPECT_EQ((std::pair{six->check(), five->check()}), (std::pair{1, 0}));  // not exclusive by themselves

    // A restore from the store (value, then Synchronize(null)) ticks only the button whose
    // value is stored.
    for (auto* b : {five.get(), alsoFive.get(), six.get()}) {
        b->SetValue(6);
        b->Synchronize(nullptr);
    }
    EXPECT_EQ((std::vector{five->check(), alsoFive->check(), six->check()}), (std::vector{0, 0, 1}));
    // The page synchronises the group with the clicked one.
    five->Synchronize(six.get());
    EXPECT_EQ(five->check(), 0);
    six->Synchronize(five.get());
    EXPECT_EQ(six->check(), 0);

    auto record = std::make_unique<CXmlControlConainer>();
    record->SetFixedValue("12");
    record->SetDescription("Twelve");
    five->SetElement(std::move(record));
    five->LoadFromElement();
    EXPECT_EQ((std::pair{five->GetValue(), five->text()}), (std::pair{12u, QStringLiteral("Twelve")}));
}

TEST_F(ControlHost, ComboBoxReportsTheUsersSelectionAndShowsNumbersByValue)
{
    auto combo = Make<CDerivedComboBox>(3004, QRect(10, 10, 100, 22));
    auto record = std::make_unique<CXmlControlConainer>();
    record->SetDescription("Low, Mid, High");
    combo->SetElement(std::move(record));
    ASSERT_EQ(combo->LoadFromElement(), 1);
    EXPECT_EQ(combo->count(), 3);
    combo->SetValue(1);
    guitest::focusForKeys(*combo);
    guitest::userKey(*combo, Qt::Key_Down);
    EXPECT_EQ(Changes(), (std::vector<std::pair<std::int32_t, const void*>>{{kWord, Ptr(combo.get())}}));
    EXPECT_EQ(combo->GetValue(), 2u);

    // Numeric items: the value is the item's number, and a stored number selects its item.
    auto pulses = Make<CDerivedComboBox>(3005, QRect(10, 40, 100, 22));
    auto numeric = std::make_unique<CXmlControlConainer>();
    numeric->SetDescription("1, 5, 10, 15, 20, 30, 40, 50");
    numeric->SetFormula("%tp", 1);
    numeric->SetFormula("%tp", 0);
    pulses->SetElement(std::move(numeric));
    pulses->LoadFromElement();
    ASSERT_TRUE(pulses->IsNumeric());
    EXPECT_EQ(pulses->GetValue(), 1u);
    pulses->SetValue(20);
    EXPECT_EQ(pulses->curSel(), 4);
    pulses->ReloadFromElement();
    EXPECT_EQ(pulses->curSel(), 4);
    pulses->SetValue(7);  // no such item: nothing selected, and it reads 0
    EXPECT_EQ((std::pair{pulses->curSel(), pulses->GetValue()}), (std::pair{-1, 0u}));
}

TEST_F(ControlHost, SliderMovesByMouseKeysAndWheelReportingEachMoveOnce)
{
    auto slider = Make<CDerivedSlider>(3007, QRect(10, 10, 200, 24));
    slider->SetRange(0, 100);
    EXPECT_EQ(slider->GetPageStep(), 5);
    const auto scrolls = [&] {
        std::vector<std::pair<int, int>> out;
        for (const guitest::Received& m : host.only(gui::msg::HScroll)) {
            out.emplace_back(gui::loWord(m.w), gui::hiWord(m.w));
        }
        return out;
    };

    Wheel(*slider, 120);  // up at the minimum: no move, no report
    EXPECT_EQ(ChangeCount(), 0u);
    Wheel(*slider, -120);  // one notch down: two steps
    EXPECT_EQ((std::pair{slider->GetValue(), ChangeCount()}), (std::pair{2u, std::size_t{1}}));
    EXPECT_EQ(scrolls(), (std::vector<std::pair<int, int>>{{gui::scroll::LineDown, 2}}));

    guitest::focusForKeys(*slider);
    guitest::userKey(*slider, Qt::Key_Right);
    EXPECT_EQ((std::pair{slider->GetValue(), ChangeCount()}), (std::pair{3u, std::size_t{2}}));
    slider->SetValue(10);
    guitest::userKey(*slider, Qt::Key_Home);  // one page, reported twice
    EXPECT_EQ((std::pair{slider->GetValue(), ChangeCount()}), (std::pair{5u, std::size_t{4}}));

    // A click in the channel right of the thumb pages once; the release reports twice
    // more (thumb position and end of tracking) without moving.
    host.log.clear();
    const QRect thumb = slider->thumbRect();
    const QPoint right(thumb.right() + 40, thumb.center().y());
    guitest::userPress(*slider, right);
    guitest::userRelease(*slider, right);
    EXPECT_EQ(scrolls(), (std::vector<std::pair<int, int>>{{gui::scroll::PageDown, 10},
                                                           {gui::scroll::ThumbPosition, 10},
                                                           {gui::scroll::EndTrack, 10}}));
    for (const auto& change : Changes()) EXPECT_EQ(change, std::make_pair(kWord, Ptr(slider.get())));

    // Dragging the thumb to the right end.
    host.log.clear();
    const QRect t = slider->thumbRect();
    guitest::userPress(*slider, t.center());
    guitest::userMove(*slider, QPoint(slider->clientRect().width() + 50, t.center().y()));
    guitest::userRelease(*slider, QPoint(slider->clientRect().width() + 50, t.center().y()));
    EXPECT_EQ(slider->GetValue(), 100u);
    EXPECT_EQ(scrolls().back(), std::make_pair(int{gui::scroll::EndTrack}, 100));
}

TEST_F(ControlHost, ASliderWithNoTravelKeepsItsPosition)
{
    auto slider = Make<CDerivedSlider>(3008, QRect(10, 10, 4, 24));
    slider->SetRange(1, 51);
    EXPECT_EQ(slider->GetPageStep(), 2);
    slider->SetValue(7);
    const QRect thumb = slider->thumbRect();
    guitest::userPress(*slider, thumb.center());
    guitest::userRelease(*slider, thumb.center());
    EXPECT_EQ(slider->GetValue(), 7u);
    auto small = Make<CDerivedSlider>(3009, QRect(10, 40, 100, 24));
    small->SetRange(0, 10);
    EXPECT_EQ(small->GetPageStep(), 1);
}

TEST_F(ControlHost, TabReportsAPressOnATabOnly)
{
    auto tab = Make<CDerivedTab>(3010, QRect(10, 10, 220, 80));
    for (int i = 0; i < 3; ++i) tab->insertItem(i, QStringLiteral("Mode %1").arg(i + 1));
    guitest::userClick(*tab, tab->itemRect(2).center());
    EXPECT_EQ(Changes(), (std::vector<std::pair<std::int32_t, const void*>>{{kWord, Ptr(tab.get())}}));
    EXPECT_EQ(tab->GetValue(), 2u);
    guitest::userClick(*tab, QPoint(200, 60));  // the body, no tab
    EXPECT_EQ(ChangeCount(), 1u);
}

TEST_F(ControlHost, EditShowsStoredValuesInTheirFormats)
{
    auto edit = Make<CDerivedEdit>(3011, QRect(10, 10, 100, 22));
    EXPECT_EQ(edit->Format(4000000000u), QStringLiteral("4000000000"));
    edit->SetValueTable(Decoder(ParameterRecord::kDivide, 4, "%#.2lf"));
    edit->SetValue(10);
    EXPECT_EQ(edit->text(), QStringLiteral("2.50"));
    // The warning colours the text when the shown value is above its threshold.
    edit->SetWarning(2.5, 0x0000FF);
    gui::ColourQuery answer;
    edit->ApplyWarningColour(answer);
    EXPECT_EQ(answer.text, QColor(0, 0, 0));
    edit->SetValue(11);
    edit->ApplyWarningColour(answer);
    EXPECT_EQ(answer.text, QColor(255, 0, 0));
    edit->SetWarning(-1.0, 0x0000FF);
    gui::ColourQuery none;
    edit->ApplyWarningColour(none);
    EXPECT_FALSE(none.text.has_value());
    edit->SetValueTable(nullptr);

    const auto shows = [&](const char* format, const char* word, std::uint32_t v, const char* receive = nullptr) {
        auto r = std::make_unique<CXmlControlConainer>();
        r->SetGuiFormat(format);
        r->SetContainerId(word);
        if (receive != nullptr) r->SetFormula(receive, 0);
        edit->SetElement(std::move(r));
        return edit->Format(v);
    };
    EXPECT_EQ(shows("binary", "1", 1110010), QStringLiteral("01110010"));
    EXPECT_EQ(shows("hex", "1", 0xBEEF), QStringLiteral("BEEF"));
    EXPECT_EQ(shows("decimal", "1", 42), QStringLiteral("42"));
    EXPECT_EQ(shows("pulse", "1", 0x7FFF), QStringLiteral("cont."));
    EXPECT_EQ(shows("pulse", "1", 0x7FFE), QStringLiteral("32766"));
    EXPECT_EQ(shows("frequency", "3", 34), QStringLiteral("cont."));  // word 3: step 34 is continuous
    EXPECT_EQ(shows("frequency", "4", 52), QStringLiteral("0"));      // past the table
    EXPECT_EQ(shows("volt", "4", 100, "%p * 5 / 1000"), QStringLiteral("0.50"));
    EXPECT_EQ(shows("", "4", 3, "%p / 4"), QStringLiteral("0.75000"));
    EXPECT_EQ(shows("usertype", "4", 7), QStringLiteral("7.00000"));
}

TEST_F(ControlHost, EditTakesTypedTextOnEnterFocusLossOrPauseOnlyWhenItChanged)
{
    auto edit = Make<CDerivedEdit>(3012, QRect(10, 10, 100, 22));
    auto other = Make<CDerivedButton>(3013, QRect(10, 40, 80, 24));
    edit->SetValue(100);
    guitest::focusForKeys(*edit);
    // In and out again with nothing typed: no report, the value stays.
    other->setFocus();
    edit->setFocus();
    guitest::userKey(*edit, Qt::Key_Return);
    other->setFocus();
    EXPECT_EQ((std::pair{ChangeCount(), edit->GetValue()}), (std::pair{std::size_t{0}, 100u}));

    // Enter takes the typed text once.
    edit->setFocus();
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->widget(), QStringLiteral("250"));
    guitest::userKey(*edit, Qt::Key_Return);
    EXPECT_EQ(Changes(), (std::vector<std::pair<std::int32_t, const void*>>{{kWord, Ptr(edit.get())}}));
    EXPECT_EQ(edit->GetValue(), 250u);
    other->setFocus();  // nothing new typed since
    EXPECT_EQ(ChangeCount(), 1u);

    // Focus loss takes it.
    edit->setFocus();
    QTest::keyClicks(edit->widget(), QStringLiteral("7"));
    other->setFocus();
    EXPECT_EQ((std::pair{ChangeCount(), edit->GetValue()}), (std::pair{std::size_t{2}, 2507u}));

    // A pause of a second takes it, with hexadecimal input read as such.
    edit->setFocus();
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->widget(), QStringLiteral("0x1A"));
    EXPECT_TRUE(edit->IsCommitPending());
    EXPECT_TRUE(guitest::waitFor([&] { return ChangeCount() == 3u; }, 5000));
    EXPECT_EQ((std::tuple{edit->GetValue(), edit->IsHexInput()}), (std::tuple{26u, true}));
    QTest::qWait(50);
    EXPECT_EQ(ChangeCount(), 3u);
}

TEST_F(ControlHost, TypedValuesAreRoundedAndHeldToTheWord)
{
    auto edit = Make<CDerivedEdit>(3014, QRect(10, 10, 100, 22));
    edit->SetValueTable(Decoder(ParameterRecord::kMultiply, 0.1, "%.1lf"));  // typed / 0.1 is stored
    edit->SetValue(23);
    EXPECT_EQ(edit->text(), QStringLiteral("2.3"));
    const auto commit = [&](const QString& text) {
        edit->setText(text);
        edit->setFocus();
        guitest::userKey(*edit, Qt::Key_Return);
        return edit->GetValue();
    };
    guitest::focusForKeys(*edit);
    // 2.9 is 28.999... stored: rounded, not truncated.
    EXPECT_EQ((std::vector{commit(QStringLiteral("2.9")), commit(QStringLiteral("-4")), commit(QStringLiteral("1e30")),
                           commit(QStringLiteral("nan")), commit(QStringLiteral("abc"))}),
              (std::vector{29u, 0u, 0xFFFFFFFFu, 0u, 0u}));
    EXPECT_EQ(ChangeCount(), 5u);

    // A "cont." field clicked in and out keeps its value.
    auto pulse = Make<CDerivedEdit>(3015, QRect(10, 40, 100, 22));
    auto r = std::make_unique<CXmlControlConainer>();
    r->SetGuiFormat("pulse");
    pulse->SetElement(std::move(r));
    pulse->SetValue(0x7FFF);
    pulse->setFocus();
    edit->setFocus();
    EXPECT_EQ((std::pair{pulse->GetValue(), ChangeCount()}), (std::pair{0x7FFFu, std::size_t{5}}));
}

TEST_F(ControlHost, LabelsFormatByTheirRecordAndLampsShowTheirColour)
{
    auto label = Make<CDerivedLabel>(3017, QRect(10, 10, 80, 20));
    label->setText(QStringLiteral("kept"));
    label->SetValue(0xAB);
    EXPECT_EQ(label->text(), QStringLiteral("kept"));  // no record
    const auto shows = [&](const char* format, const char* length, std::uint32_t v) {
        auto r = std::make_unique<CXmlControlConainer>();
        r->SetGuiFormat(format);
        r->SetBitLength(length);
        label->SetElement(std::move(r));
        label->SetValue(v);
        return label->text();
    };
    EXPECT_EQ(shows("", "0", 0xAB), QStringLiteral("00ab"));
    EXPECT_EQ(shows("binary", "8", 0xA5), QStringLiteral("10100101"));
    EXPECT_EQ(shows("volt", "8", 0x11), QStringLiteral("10100101"));  // no converter: text stays

    auto lamp = Make<CDerivedImageLabel>(3018, QRect(100, 10, 20, 20));
    lamp->SetLampColours(0x00FF00, 0x0000FF);
    gui::Bitmap canvas(20, 20);
    canvas.fill(0x808080);
    lamp->SetValue(2);
    lamp->PaintLamp(canvas);
    EXPECT_EQ(gui::redOf(canvas.pixel(9, 9)), 0) << canvas.pixel(9, 9);
    EXPECT_GT(gui::greenOf(canvas.pixel(9, 9)), 100) << canvas.pixel(9, 9);
    EXPECT_EQ(canvas.pixel(0, 0), 0x808080u);  // the background stays around the lamp
    lamp->SetValue(0);
    lamp->PaintLamp(canvas);
    EXPECT_GT(gui::redOf(canvas.pixel(9, 9)), 100);

    // A single stop paints no band, only the corner above the wedge.
    auto bar = Make<CDerivedColorLabel>(3019, QRect(10, 40, 100, 20));
    bar->AddColorStop(0xFF0000, 0);
    bar->CreateRegions();
    bar->RenderGradient();
    EXPECT_EQ(bar->GetImage().GetDC().pixel(90, 18), 0u);
    bar->AddColorStop(0x0000FF, 100);
    bar->RenderGradient();
    const gui::ColourRef left = bar->GetImage().GetDC().pixel(1, 19);
    EXPECT_GT(gui::blueOf(left), 240) << left;
    EXPECT_LT(gui::redOf(left), 10) << left;
    EXPECT_GT(gui::redOf(bar->GetImage().GetDC().pixel(98, 19)), 200);
}

// ---- the floating dialog and the page's layout ----------------------------------------

TEST(FloatingDialog, HandsItsControlsReportsToThePageAndLeavesTheRestToTheDialog)
{
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services(&store, &queue);
    uitest::SurfacePage page;
    page.SetDeviceInfo(0x300, nullptr, QStringLiteral("Page"));
    ASSERT_TRUE(page.createModeless(nullptr));
    std::uint32_t base = 0;
    gui::Window* floating = page.GetContainerWindow("floating", &base);
    ASSERT_NE(floating, nullptr);
    EXPECT_EQ((std::tuple{base, page.GetContainerWindow("floating", nullptr)}), (std::tuple{2000u, floating}));  // made once
    // Each name's window and first control id; "tachometer": the first tachometer window, or
    // the second when only it exists.
    for (auto [name, window, id] : {std::tuple<const char*, gui::Window*, std::uint32_t>{nullptr, &page, 1000},
                                    {"speedcurve", nullptr, 4000}, {"Floating", nullptr, 0}, {"tachometer", nullptr, 3000}}) {
        gui::Window* got = page.GetContainerWindow(name, &base);
        EXPECT_EQ((std::pair{got, base}), (std::pair{window, id})) << (name ? name : "");
    }
    auto digital = std::make_unique<CSubDialog_DigitalTachometer>();
    ASSERT_TRUE(digital->createModeless(nullptr));
    gui::Window* second = digital.get();
    page.SetSecondTachometer(std::move(digital));
    EXPECT_EQ(page.GetContainerWindow("tachometer", nullptr), second);

    auto made = std::make_unique<CDerivedButton>(floating, 2000);
    made->SetRegister(9, 0);
    ASSERT_TRUE(made->CreateControlWindow(QPoint(10, 10), 80, 24));
    auto* onFloating = page.AddControl(2000, std::move(made));
    auto onPage = std::make_unique<CDerivedButton>(&page, 1000);
    ASSERT_TRUE(onPage->CreateControlWindow(QPoint(30, 40), 100, 30));
    page.AddControl(1000, std::move(onPage));
    floating->show();
    page.show();
    guitest::userClick(*onFloating);
    ASSERT_EQ(page.changes.size(), 1u);
    EXPECT_EQ((std::tuple{page.changes[0].word, page.changes[0].control}), (std::tuple{9, onFloating}));
    // Other messages get the dialog's own processing: Close hides it.
    gui::send(floating->handle(), gui::msg::Close, 0, 0);
    EXPECT_EQ((std::tuple{floating->exists(), floating->isShown()}), (std::tuple{true, false}));

    // The page sizes its client area to the controls on itself only.
    page.ResizeWindow();
    EXPECT_EQ(page.clientRect().size(), QSize(140, 80));
    page.destroy();
    guitest::settle();
}

// ---- a page of every control, for a person to look at ---------------------------------

TEST(ControlGallery, OneOfEachControlRendersUnclipped)
{
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services(&store, &queue);
    uitest::SurfacePage page;
    page.SetDeviceInfo(0x300, nullptr, QStringLiteral("Gallery"));
    ASSERT_TRUE(page.createModeless(nullptr));
    Place<CDerivedFrame>(page, 1000, 1000, QRect(8, 4, 330, 224))->setText(QStringLiteral("Motor"));
    Place<CDerivedButton>(page, 1001, 1001, QRect(20, 24, 90, 26))->setText(QStringLiteral("Start"));
    auto* check = Place<CDerivedCheckButton>(page, 1002, 1002, QRect(120, 24, 90, 26));
    check->SetCaptions(QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    check->SetValue(1);
    for (auto [key, id, y, caption] : {std::tuple{1003u, 3101u, 24, "High Lv"}, {1004u, 3102u, 46, "High-Z"}}) {
        auto* radio = Place<CDerivedRadioButton>(page, key, id, QRect(220, y, 100, 20));
        radio->SetCaption(QString::fromLatin1(caption));
        radio->SetValue(1);
    }
    auto* combo = Place<CDerivedComboBox>(page, 1005, 1005, QRect(20, 60, 120, 24));
    for (const char* item : {"Full step", "Half step", "1/4 step"}) combo->addString(QString::fromLatin1(item));
    combo->SetValue(1);
    Place<CDerivedEdit>(page, 1006, 1006, QRect(150, 60, 60, 24))->SetValue(1500);
    auto* slider = Place<CDerivedSlider>(page, 1007, 1007, QRect(20, 94, 190, 26));
    slider->SetRange(1, 51);
    slider->SetValue(20);
    Place<CDerivedLabel>(page, 1008, 1008, QRect(220, 98, 100, 20))->setText(QStringLiteral("Speed 1200 pps"));
    auto* lamp = Place<CDerivedImageLabel>(page, 1009, 1009, QRect(220, 70, 20, 20));
    lamp->SetLampColours(0x00FF00, 0x004000);
    lamp->SetValue(1);
    auto* bar = Place<CDerivedColorLabel>(page, 1010, 1010, QRect(20, 128, 300, 24));
    for (auto [percent, colour] : {std::pair{0, 0xFFC0A0u}, {38, 0xFFE2C0u}, {55, 0xF0E2F0u}, {72, 0xE2C0FFu}, {100, 0x8080FFu}}) {
        bar->AddColorStop(colour, percent);
    }
    bar->CreateRegions();
    bar->RenderGradient();
    auto* tab = Place<CDerivedTab>(page, 1011, 1011, QRect(20, 160, 300, 60));
    for (int i = 0; i < 3; ++i) tab->insertItem(i, QStringLiteral("Mode %1").arg(i + 1));
    tab->SetValue(1);

    page.ResizeWindow();
    page.show();
    guitest::settle();
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    QDir().mkpath(QStringLiteral(TAMSIRO_SCREENSHOT_DIR));
    const QImage shot = page.widget()->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/ui_controls_scale%1.png").arg(scale)));
    // Every control lies inside the client area it sized itself to.
    for (const auto& [key, control] : page.Controls()) {
        EXPECT_TRUE(page.clientRect().contains(control->rectInParent())) << key;
    }
    page.destroy();
    guitest::settle();
}
