// The page's controls through real input: each user action gives one ControlChanged
// with the value the control then holds; the edit; the display controls; the floating
// dialog.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
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

// Change reports as (data word, control).
using Reports = std::vector<std::pair<std::int32_t, const void*>>;

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
    Reports Changes() const
    {
        Reports out;
        for (const guitest::Received& m : host.only(gui::msg::ControlChanged)) {
            out.emplace_back(static_cast<std::int32_t>(static_cast<std::intptr_t>(m.w)),
                             reinterpret_cast<const void*>(m.l));
        }
        return out;
    }
    int ChangeCount() const { return static_cast<int>(host.only(gui::msg::ControlChanged).size()); }
    // The one change report of control c.
    static Reports OneFrom(const CDerivedControl* c) { return {{kWord, c}}; }
    void Wheel(gui::Window& w, int delta)
    {
        QWheelEvent wheel(QPointF(5, 5), QPointF(w.clientToScreen(QPoint(5, 5))), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.widget(), &wheel);
    }

    guitest::Spy<gui::Dialog> host{HostTemplate()};
};

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

}  // namespace

TEST_F(ControlHost, PushButtonNotifiesOnReleaseAfterAPressOnItWhereverThePointerIs)
{
    auto button = Make<CDerivedButton>(3002, QRect(10, 10, 80, 24));
    EXPECT_EQ(button->GetControlKind(), 2u);
    guitest::userPress(*button, QPoint(5, 5));
    EXPECT_EQ(ChangeCount(), 0);
    guitest::userRelease(*button, QPoint(200, 100));  // released outside
    EXPECT_EQ(Changes(), OneFrom(button.get()));
    // A release with no press on the button first: nothing.
    guitest::userRelease(*button, QPoint(5, 5));
    EXPECT_EQ(ChangeCount(), 1);
}

TEST_F(ControlHost, CheckButtonTogglesWithItsCaptionOnlyOnAReleaseInsideIt)
{
    auto check = Make<CDerivedCheckButton>(3003, QRect(10, 10, 80, 24));
    check->SetCaptions(QStringLiteral("ON"), QStringLiteral("OFF"));
    check->SetValue(0);
    EXPECT_EQ(check->text(), "OFF");
    guitest::userClick(*check);
    EXPECT_EQ(Changes(), OneFrom(check.get()));
    EXPECT_EQ((std::tuple{check->GetValue(), check->text(), check->check()}), (std::tuple{1u, QStringLiteral("ON"), 1}));
    // Pressed inside, released outside: neither a toggle nor a report.
    guitest::userPress(*check, QPoint(5, 5));
    guitest::userRelease(*check, QPoint(150, 5));
    EXPECT_EQ((std::pair{ChangeCount(), check->GetValue()}), (std::pair{1, 1u}));
}

TEST_F(ControlHost, RadioButtonsShowOnlyTheStoredValueOfTheirGroup)
{
    auto five = Make<CDerivedRadioButton>(3105, QRect(10, 10, 80, 20));
    auto alsoFive = Make<CDerivedRadioButton>(3205, QRect(10, 30, 80, 20));
    auto six = Make<CDerivedRadioButton>(3106, QRect(10, 50, 80, 20));
    EXPECT_EQ((std::pair{five->GetValue(), alsoFive->GetValue()}), (std::pair{5u, 5u}));

    guitest::userClick(*six);
    EXPECT_EQ(Changes(), OneFrom(six.get()));
    EXPECT_EQ((std::pair{six->check(), five->check()}), (std::pair{1, 0}));  // not exclusive by themselves

    // A restore ticks only the stored one.
    for (auto* b : {five.get(), alsoFive.get(), six.get()}) {
        b->SetValue(6);
        b->Synchronize(nullptr);
    }
    EXPECT_EQ((std::vector{five->check(), alsoFive->check(), six->check()}), (std::vector{0, 0, 1}));
    six->Synchronize(five.get());  // the page syncs a group with the clicked one
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
    EXPECT_EQ(Changes(), OneFrom(combo.get()));
    EXPECT_EQ(combo->GetValue(), 2u);

    // Numeric items: the value is the item's number, and a stored number selects its item.
    auto pulses = Make<CDerivedComboBox>(3005, QRect(10, 40, 100, 22));
    auto numeric = std::make_unique<CXmlControlConainer>();
    numeric->SetDescription("1, 5, 10, 15, 20, 30, 40, 50");
    numeric->SetFormula("%p", 1);
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
    EXPECT_EQ(ChangeCount(), 0);
    Wheel(*slider, -120);  // one notch down: two steps
    EXPECT_EQ((std::pair{slider->GetValue(), ChangeCount()}), (std::pair{2u, 1}));
    EXPECT_EQ(scrolls(), (std::vector<std::pair<int, int>>{{gui::scroll::LineDown, 2}}));

    guitest::focusForKeys(*slider);
    guitest::userKey(*slider, Qt::Key_Right);
    EXPECT_EQ((std::pair{slider->GetValue(), ChangeCount()}), (std::pair{3u, 2}));
    slider->SetValue(10);
    guitest::userKey(*slider, Qt::Key_Home);  // one page, reported twice
    EXPECT_EQ((std::pair{slider->GetValue(), ChangeCount()}), (std::pair{5u, 4}));

    // A click right of the thumb pages; the release reports twice more without moving.
    host.log.clear();
    const QRect thumb = slider->thumbRect();
    const QPoint right(thumb.right() + 40, thumb.center().y());
    guitest::userPress(*slider, right);
    guitest::userRelease(*slider, right);
    EXPECT_EQ(scrolls(), (std::vector<std::pair<int, int>>{{gui::scroll::PageDown, 10},
                                                           {gui::scroll::ThumbPosition, 10},
                                                           {gui::scroll::EndTrack, 10}}));

    // Dragging the thumb to the right end.
    host.log.clear();
    const QRect t = slider->thumbRect();
    guitest::userPress(*slider, t.center());
    guitest::userMove(*slider, QPoint(slider->clientRect().width() + 50, t.center().y()));
    guitest::userRelease(*slider, QPoint(slider->clientRect().width() + 50, t.center().y()));
    EXPECT_EQ(slider->GetValue(), 100u);
    EXPECT_EQ(scrolls().back(), std::make_pair(int{gui::scroll::EndTrack}, 100));
}

// A dragged thumb takes the step nearest to its left edge, also where the edge lies past
// the middle between two steps.
TEST_F(ControlHost, ADraggedSliderTakesTheNearestStep)
{
    auto slider = Make<CDerivedSlider>(3009, QRect(10, 10, 200, 24));
    slider->SetRange(0, 1000);
    const QRect channel = slider->channelRect();
    const QRect thumb = slider->thumbRect();
    const int span = channel.width() - thumb.width();
    ASSERT_GT(span, 20);
    // A left edge whose exact value lies well past a half step.
    int x = 1;
    while (x < span && std::fmod(x * 1000.0 / span, 1.0) < 0.6) ++x;
    ASSERT_LT(x, span);
    const auto nearest = static_cast<std::uint32_t>(std::lround(x * 1000.0 / span));

    const QPoint grab = thumb.center();
    const QPoint to(grab.x() + channel.left() + x - thumb.left(), grab.y());
    guitest::userPress(*slider, grab);
    guitest::userMove(*slider, to);
    EXPECT_EQ(slider->GetValue(), nearest) << "dragged: left edge " << x << " of " << span;
    guitest::userRelease(*slider, to);
    EXPECT_EQ(slider->GetValue(), nearest) << "released: left edge " << x << " of " << span;
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
    slider->SetRange(0, 10);
    EXPECT_EQ(slider->GetPageStep(), 1);
}

TEST_F(ControlHost, TabsReportAPressOnATabAndTheWheelTurnsOnlyAFocusedComboAndNoSliderStepOf0)
{
    auto combo = Make<CDerivedComboBox>(3020, QRect(10, 10, 100, 22));
    auto tab = Make<CDerivedTab>(3021, QRect(10, 40, 220, 60));
    auto slider = Make<CDerivedSlider>(3022, QRect(10, 110, 200, 24));
    for (int i = 0; i < 3; ++i) {
        combo->addString(QString::number(i));
        tab->insertItem(i, QString::number(i));
    }
    combo->SetValue(1);
    tab->SetValue(1);
    slider->SetRange(0, 100);
    slider->SetValue(50);
    Wheel(*combo, -120);
    Wheel(*tab, -120);
    Wheel(*slider, 59);  // a step of 0
    Wheel(*slider, -59);
    EXPECT_EQ(combo->curSel(), 1);
    EXPECT_EQ(tab->curSel(), 1);
    EXPECT_EQ(slider->GetValue(), 50u);
    EXPECT_EQ(ChangeCount(), 0);
    guitest::focusForKeys(*combo);
    Wheel(*combo, -120);
    EXPECT_EQ(Changes(), OneFrom(combo.get()));
    EXPECT_EQ(combo->GetValue(), 2u);
    // A press on a tab is reported; one on the body is not.
    guitest::userClick(*tab, tab->itemRect(0).center());
    guitest::userClick(*tab, QPoint(200, 50));
    EXPECT_EQ(Changes(), (Reports{{kWord, combo.get()}, {kWord, tab.get()}}));
    EXPECT_EQ(tab->GetValue(), 0u);
}

TEST_F(ControlHost, EditShowsStoredValuesInTheirFormats)
{
    auto edit = Make<CDerivedEdit>(3011, QRect(10, 10, 100, 22));
    EXPECT_EQ(edit->Format(4000000000u), "4000000000");
    edit->SetValueTable(Decoder(ParameterRecord::kDivide, 4, "%#.2lf"));
    edit->SetValue(10);
    EXPECT_EQ(edit->text(), "2.50");
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
    EXPECT_EQ(shows("binary", "1", 1110010), "01110010");
    EXPECT_EQ(shows("hex", "1", 0xBEEF), "BEEF");
    EXPECT_EQ(shows("decimal", "1", 42), "42");
    EXPECT_EQ(shows("pulse", "1", 0x7FFF), "cont.");
    EXPECT_EQ(shows("pulse", "1", 0x7FFE), "32766");
    EXPECT_EQ(shows("frequency", "3", 34), "cont.");  // word 3: step 34 is continuous
    EXPECT_EQ(shows("frequency", "4", 52), "0");      // past the table
    EXPECT_EQ(shows("volt", "4", 100, "%p * 5 / 1000"), "0.50");
    EXPECT_EQ(shows("", "4", 3, "%p / 4"), "0.75000");
    EXPECT_EQ(shows("usertype", "4", 7), "7.00000");
}

TEST_F(ControlHost, EditTakesChangedTextOnEnterFocusLossOrPauseAndShowsWhatItReports)
{
    auto edit = Make<CDerivedEdit>(3012, QRect(10, 10, 100, 22));
    auto other = Make<CDerivedButton>(3013, QRect(10, 40, 80, 24));
    auto pulse = std::make_unique<CXmlControlConainer>();
    pulse->SetGuiFormat("pulse");
    edit->SetElement(std::move(pulse));
    edit->SetValue(0x7FFF);
    guitest::focusForKeys(*edit);
    // Nothing typed: in and out, no report; Enter reports the stored value, "cont." unread.
    other->setFocus();
    edit->setFocus();
    EXPECT_EQ(ChangeCount(), 0);
    guitest::userKey(*edit, Qt::Key_Return);
    EXPECT_EQ(Changes(), OneFrom(edit.get()));
    EXPECT_EQ(edit->GetValue(), 0x7FFFu);

    // Focus loss takes typed text; so does a pause of a second, hexadecimal read as such.
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->widget(), QStringLiteral("250"));
    other->setFocus();
    EXPECT_EQ(edit->GetValue(), 250u);
    edit->setFocus();
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->widget(), QStringLiteral("0x1A"));
    EXPECT_TRUE(edit->IsCommitPending());
    EXPECT_TRUE(guitest::waitFor([&] { return ChangeCount() == 3; }, 10000));
    EXPECT_EQ(edit->GetValue(), 26u);
    EXPECT_TRUE(edit->IsHexInput());
    // Taken once: the pause's timer is gone with it.
    EXPECT_EQ((std::tuple{edit->IsCommitPending(), edit->hasTimer(CDerivedEdit::kCommitTimer)}), (std::tuple{false, false}));
    // A refresh while the user changes the text (a poll) leaves the text to the commit,
    // whatever the change, and even before the key is let go; once committed, the
    // refresh shows again.
    struct Typing {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString text;  // as the keyboard gives it: Ctrl+V is a control character
        std::function<void()> before;
        QString left;
        bool enter;  // else focus loss commits
        std::uint32_t taken;
    };
    const auto key = [&](Qt::Key k) { QTest::keyClick(edit->widget(), k); };
    const auto selectAll = [&] { edit->lineEdit()->selectAll(); };
    const Typing typing[] = {
        {"digits", Qt::Key_7, {}, "7", [&] { selectAll(); QTest::keyClick(edit->widget(), Qt::Key_7); }, "77", true, 77},
        {"Backspace", Qt::Key_Backspace, {}, "\b", [&] { key(Qt::Key_End); }, "123", true, 123},
        {"Delete", Qt::Key_Delete, {}, "", [&] { key(Qt::Key_Home); }, "234", false, 234},
        {"Space", Qt::Key_Space, {}, " ", [&] { key(Qt::Key_Home); }, " 1234", true, 1234},
        {"cleared", Qt::Key_Backspace, {}, "\b", selectAll, "", false, 0},
        {"paste", Qt::Key_V, Qt::ControlModifier, "\x16",
         [&] {
             QGuiApplication::clipboard()->setText("56");
             selectAll();
         },
         "56", true, 56},
    };
    for (const Typing& t : typing) {
        SCOPED_TRACE(t.what);
        edit->SetValue(1234);
        ASSERT_EQ(edit->text(), "1234");
        t.before();
        QTest::sendKeyEvent(QTest::Press, edit->widget(), t.key, t.text, t.modifiers);
        edit->SetValue(5);
        EXPECT_EQ(edit->text(), t.left);
        QTest::sendKeyEvent(QTest::Release, edit->widget(), t.key, t.text, t.modifiers);
        edit->SetValue(5);
        edit->Synchronize(nullptr);
        EXPECT_EQ(edit->text(), t.left);
        if (t.enter) {
            guitest::userKey(*edit, Qt::Key_Return);
        } else {
            other->setFocus();
            edit->setFocus();
        }
        EXPECT_EQ(edit->GetValue(), t.taken);
        edit->SetValue(9);
        EXPECT_EQ(edit->text(), "9");
    }
    const int changesBefore = ChangeCount();

    // The field shows the value it reported: rounded half away from zero, held to the word.
    const auto commit = [&](const char* typed) {
        edit->setText(QString::fromLatin1(typed));
        guitest::userKey(*edit, Qt::Key_Return);
        return std::pair{edit->GetValue(), edit->text()};
    };
    EXPECT_EQ(commit("2.5"), (std::pair{3u, QStringLiteral("3")}));
    EXPECT_EQ(commit("-4"), (std::pair{0u, QStringLiteral("0")}));
    // One short of 0xFFFFFFFF, which the store takes for "no value" and would not keep.
    EXPECT_EQ(commit("1e30"), (std::pair{0xFFFFFFFEu, QStringLiteral("4294967294")}));
    EXPECT_EQ(commit("abc"), (std::pair{0u, QStringLiteral("0")}));
    EXPECT_EQ(commit("32766.5"), (std::pair{0x7FFFu, QStringLiteral("cont.")}));
    // A frequency field stores the step of the typed frequency (the nearer, the lower
    // of two as near) and shows that step's frequency.
    auto frequency = std::make_unique<CXmlControlConainer>();
    frequency->SetGuiFormat("frequency");
    frequency->SetContainerId("1");
    edit->SetElement(std::move(frequency));
    EXPECT_EQ(commit("1500"), (std::pair{11u, QStringLiteral("1500")}));
    EXPECT_EQ(commit("1250"), (std::pair{10u, QStringLiteral("1000")}));
    EXPECT_EQ(commit("1251"), (std::pair{11u, QStringLiteral("1500")}));
    EXPECT_EQ(commit("250000"), (std::pair{51u, QStringLiteral("100000")}));
    EXPECT_EQ(commit("-5"), (std::pair{0u, QStringLiteral("0")}));
    // A decoder converts typed text back (2.9 is 28.999...), hex as it is.
    edit->SetElement(nullptr);
    edit->SetValueTable(Decoder(ParameterRecord::kMultiply, 0.1, "%.1lf"));
    EXPECT_EQ(commit("2.9"), (std::pair{29u, QStringLiteral("2.9")}));
    EXPECT_EQ(commit("0x1A"), (std::pair{26u, QStringLiteral("2.6")}));
    EXPECT_EQ(ChangeCount(), changesBefore + 12);
}

TEST_F(ControlHost, LabelsFormatByTheirRecordAndLampsShowTheirColour)
{
    auto label = Make<CDerivedLabel>(3017, QRect(10, 10, 80, 20));
    label->setText(QStringLiteral("kept"));
    label->SetValue(0xAB);
    EXPECT_EQ(label->text(), "kept");
    const auto shows = [&](const char* format, const char* length, std::uint32_t v) {
        auto r = std::make_unique<CXmlControlConainer>();
        r->SetGuiFormat(format);
        r->SetBitLength(length);
        label->SetElement(std::move(r));
        label->SetValue(v);
        return label->text();
    };
    EXPECT_EQ(shows("", "0", 0xAB), "00ab");
    EXPECT_EQ(shows("binary", "8", 0xA5), "10100101");
    EXPECT_EQ(shows("volt", "8", 0x11), "10100101");  // no converter: text stays

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
    lamp->Synchronize(label.get());
    EXPECT_EQ(lamp->GetValue(), 0x11u);

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
    // Each name's window and first id; "tachometer": the second when only it exists.
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
