#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "SpeedTestSupport.h"
#include "platform/gui/GuiTestSupport.h"
#include "ui/SpeedWindows.h"

namespace {

bool SameRegion(const QImage& painted, const QPoint& at, const gui::Bitmap& image, const QRect& part) {
    const QImage a = painted.convertToFormat(QImage::Format_RGB32).copy(QRect(at, part.size()));
    return a == image.image().copy(part);
}

}  // namespace

TEST(SpeedHitTest, CornersEdgesThenCaptionOrClient) {
    const QRect r(100, 100, 382, 400);  // x 100..481, y 100..499
    struct Row {
        QPoint p;
        int tachometer;
        int graph;
    };
    using namespace gui::hit;
    const Row rows[] = {
        {{481, 499}, BottomRight, BottomRight}, {{110, 110}, Caption, Caption},
        {{471, 399}, Caption, Caption},         {{300, 400}, Client, Caption},
        {{300, 480}, Client, Caption},          {{482, 250}, Client, Caption},  // outside: no border
    };
    for (const Row& row : rows) {
        EXPECT_EQ(speedwindow::HitTest(r, row.p, false), row.tachometer) << row.p.x() << "," << row.p.y();
        EXPECT_EQ(speedwindow::HitTest(r, row.p, true), row.graph) << row.p.x() << "," << row.p.y();
    }
}

TEST(TachometerWindow, ShowsTheRpmDialAndPaintsTheSelectedDialsNewestFrame) {
    CSubDialog_Tachometer window;
    ASSERT_TRUE(window.createModeless(nullptr));
    window.show();
    EXPECT_EQ(window.ShownDial(), window.RpmDial());
    EXPECT_EQ((std::pair{window.RpmDial()->Scale().GetFullScale(), window.RpmDial()->Needle().GetValue()}),
              (std::pair{16000, 0}));

    window.SelectDial(0);
    window.SetValues(120, 3000);
    EXPECT_EQ((std::pair{window.RpmDial()->Needle().GetValue(), window.PpsDial()->Needle().GetValue()}),
              (std::pair{3000, 120}));
    EXPECT_EQ(window.Front()->Image().image(), window.PpsDial()->Image().image());

    // After many partial repaints the screen shows the newest frame.
    for (int v = 0; v <= 15000; v += 700) {
        window.SetValues(v / 10, v);
        if (v % 2100 == 0) guitest::settle();
    }
    guitest::settle();
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(window.widget()->winId()).toImage();
    EXPECT_TRUE(SameRegion(screen, QPoint(0, 0), window.PpsDial()->Image(), QRect(0, 0, 300, 300)));

    // A new pps maximum rescales the pps dial only.
    window.SetPpsMaximum(1000);
    window.SetValues(1470, 14700);
    CTachometerFull reference(QStringLiteral("pps"), 100);
    reference.Create(0, 300);
    reference.SetFullScale(1000);
    reference.SetValue(1470);
    EXPECT_EQ(window.Front()->Image().image(), reference.Image().image());
    EXPECT_TRUE(speedtest::SavePng(reference.Image().image(), QStringLiteral("window_tachometer_pps_1470_of_1000")));
    EXPECT_EQ(window.RpmDial()->Scale().GetFullScale(), 16000);
    window.SelectDial(1);
    EXPECT_EQ(window.Front()->Image().image(), window.RpmDial()->Image().image());

    // A full scale set while the rpm dial is shown reaches the pps dial when it is
    // selected, with the value it was given meanwhile.
    window.SetFullScale(3000);
    window.SetValues(250, 2500);
    window.SelectDial(0);
    CTachometerFull pps(QStringLiteral("pps"), 100);
    pps.Create(0, 300);
    pps.SetFullScale(3000);
    pps.SetValue(250);
    guitest::settle();
    const QImage repainted = QGuiApplication::primaryScreen()->grabWindow(window.widget()->winId()).toImage();
    EXPECT_TRUE(SameRegion(repainted, QPoint(0, 0), pps.Image(), QRect(0, 0, 300, 300)));
    EXPECT_EQ(window.Front()->Image().image(), pps.Image().image());
}

// A needle that jumps across the dial: the old needle's place is repainted as well as the
// new one's, so the screen, the front buffer and the dial itself show what a dial drawn
// afresh at the new value shows, and nothing of the needle before.
TEST(TachometerWindow, ANeedleThatJumpsLeavesNoTraceOfItsOldPlace) {
    // Pixels of the first 300 x 300 that differ between the two pictures.
    const auto differing = [](const QImage& a, const gui::Bitmap& b) {
        const QImage shown = a.convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                n += (shown.pixel(x, y) & 0xFFFFFF) != (b.image().pixel(x, y) & 0xFFFFFF) ? 1 : 0;
        return n;
    };
    CSubDialog_Tachometer window;
    ASSERT_TRUE(window.createModeless(nullptr));
    window.show();
    window.SetValues(0, 3000);
    guitest::settle();
    for (const int rpm : {12000, 0, 15000}) {
        SCOPED_TRACE(rpm);
        window.SetValues(0, rpm);
        guitest::settle();
        // The window's rpm dial as a new one draws it: its scale (SetFullScale(15000) at
        // the window's start), then the needle at the new value.
        CTachometerFull fresh(QStringLiteral("rpm"), 1000);
        fresh.Create(0, 300);
        fresh.SetFullScale(15000);
        fresh.SetValue(rpm);
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(window.widget()->winId()).toImage();
        EXPECT_TRUE(speedtest::SavePng(screen, QStringLiteral("window_tachometer_jump_to_%1").arg(rpm)));
        EXPECT_EQ(differing(screen, fresh.Image()), 0) << "on the screen";
        EXPECT_EQ(differing(window.Front()->Image().image(), fresh.Image()), 0) << "in the front buffer";
        EXPECT_EQ(differing(window.RpmDial()->Image().image(), fresh.Image()), 0) << "in the window's dial";
    }
}

// Both buffers are made with the duplicator, black and of the image's size; a buffer's
// first frame is the whole image even when only a part is said to have changed, and it
// keeps that frame when the image is drawn on afterwards.
TEST(Duplicator, AFreshBufferTakesTheWholeImageAnOldOneOnlyTheChangedParts) {
    CTachometerImage source;
    ASSERT_EQ(source.Create(0, 40, 30), 1);
    source.Fill(0x00FF00);
    // Each frame differs from the one before only by its mark.
    const auto frame = [&source](gui::ColourRef colour, const QRect& mark) { source.GetDC()->fillRect(mark, colour); };
    const auto at = [](const CTachometerImage& image, int x, int y) { return image.Image().pixel(x, y); };

    const CDerivedDuplicator<CTachometerImage> shownFirst(0, source);
    const gui::Bitmap& front0 = shownFirst.GetFront().Image();
    int notBlack = 0;
    for (int y = 0; y < front0.height(); ++y)
        for (int x = 0; x < front0.width(); ++x) notBlack += front0.pixel(x, y) != 0 ? 1 : 0;
    EXPECT_EQ((std::pair{front0.size(), notBlack}), (std::pair{QSize(40, 30), 0}))
        << "the front before any frame: size, pixels not black";

    CDerivedDuplicator<CTachometerImage> d(0, source);
    frame(0x0000FF, QRect(0, 0, 5, 5));
    d.Present(source, QRect(0, 0, 5, 5));
    EXPECT_EQ(d.GetFront().Image().image(), source.Image().image());
    frame(0xFF0000, QRect(10, 10, 5, 5));
    EXPECT_EQ(at(d.GetFront(), 12, 12), 0x00FF00u) << "a frame shown keeps its pixels while the image is drawn on";
    d.Present(source, QRect(10, 10, 5, 5));  // into the other buffer, fresh: all of it
    EXPECT_EQ(d.GetFront().Image().image(), source.Image().image());
    // The first buffer again: it takes this change and the one it missed, nothing else.
    frame(0x00FFFF, QRect(30, 20, 5, 5));
    source.GetDC()->fillRect(QRect(35, 0, 5, 5), 0xFFFFFF);  // said nowhere to have changed
    d.Present(source, QRect(30, 20, 5, 5));
    const CTachometerImage& front = d.GetFront();
    EXPECT_EQ((std::vector<gui::ColourRef>{at(front, 0, 0), at(front, 12, 12), at(front, 32, 22), at(front, 37, 2)}),
              (std::vector<gui::ColourRef>{0x0000FF, 0xFF0000, 0x00FFFF, 0x00FF00}));
}

TEST(DigitalWindow, StartsAt80And80AndPaintsThe270By40Readout) {
    CSubDialog_DigitalTachometer window;
    ASSERT_TRUE(window.createModeless(nullptr));
    window.show();
    EXPECT_EQ(window.Display()->Display().Text(),
              QStringLiteral(" 80 pps") + QString(20, QLatin1Char(' ')) + QStringLiteral("80 pps"));
    EXPECT_LE(CTachometer_DigitalScale::Format(INT32_MIN, INT32_MIN, QString(40, QLatin1Char('u'))).size(), 52);
    EXPECT_EQ((std::pair{window.widget()->minimumSize(), window.widget()->maximumSize()}),
              (std::pair{QSize(382, 160), QSize(382, 160)}));
    window.SetValues(250, 260);
    const QImage painted = window.widget()->grab().toImage();
    EXPECT_TRUE(SameRegion(painted, QPoint(50, 30), window.Front()->Image(), QRect(0, 0, 270, 40)));
    EXPECT_EQ(window.Front()->Image().image().copy(0, 0, 270, 40),
              window.Display()->Display().Image().image().copy(0, 0, 270, 40));
    QRect ink;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 270; ++x)
            ink |= window.Front()->Image().pixel(x, y) != 0xFFFFFFu ? QRect(x, y, 1, 1) : QRect();
    EXPECT_NEAR(ink.center().x(), 130, 4) << ink.left() << ".." << ink.right();
    EXPECT_NEAR(ink.center().y(), 18, 4) << ink.top() << ".." << ink.bottom();
    EXPECT_TRUE(speedtest::SavePng(painted, QStringLiteral("window_digital_250_260")));
}

TEST(SpeedWindows, CannotBeClosedOrDismissedAndPassChangesToTheirOwner) {
    guitest::SpyWindow owner;
    ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    owner.answer = [](std::uint32_t m, gui::WParam, gui::LParam) -> gui::LResult {
        return m == gui::msg::ControlChanged ? 7 : 0;
    };

    CSubDialog_Tachometer tach;
    CSubDialog_DigitalTachometer digital;
    CSubDialog_Graph graph;
    std::vector<CSpeedWindow*> windows{&tach, &digital, &graph};
    for (CSpeedWindow* w : windows) {
        ASSERT_TRUE(w->createModeless(nullptr));
        w->show();
        EXPECT_EQ(w->SetOwner(owner.handle(), -1), 0);  // stored all the same
        EXPECT_EQ(w->SetOwner(owner.handle(), 0), 1);
        w->send(gui::msg::SysCommand, gui::syscmd::Close);
        w->send(gui::msg::Close);
        w->dialogKey(Qt::Key_Return);
        w->dialogKey(Qt::Key_Escape);
        EXPECT_EQ((std::tuple{w->exists(), w->isShown()}), (std::tuple{true, true}));
    }
    EXPECT_EQ((std::tuple{tach.send(gui::msg::ControlChanged, 5, 9), digital.send(gui::msg::ControlChanged, 6, 10)}),
              (std::tuple{7, 7}));
    EXPECT_EQ(graph.send(gui::msg::ControlChanged, 7, 11), 0);  // the graph window hosts no controls
    const auto changes = owner.only(gui::msg::ControlChanged);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ((std::tuple{changes[0].w, changes[0].l, changes[1].w}),
              (std::tuple{gui::WParam{5}, gui::LParam{9}, gui::WParam{6}}));

    gui::Window control;
    ASSERT_TRUE(control.create(&owner, 3001, QRect(0, 0, 20, 20)));
    EXPECT_EQ((std::tuple{tach.AddControl(&control), tach.AddControl(&control)}), (std::tuple{1, 0}));
    tach.ShowControls();
    EXPECT_EQ(control.parent(), &tach);
    control.destroy();
}

TEST(GraphWindow, RoutesEachPointToTheChannelsThatExist) {
    CSubDialog_Graph window;
    ASSERT_TRUE(window.createModeless(nullptr));
    CDerivedGraphLabel* graph = window.GraphWindow();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(window.AddPoint(10, 100, 200), 1);  // no channel yet: nothing, no crash

    window.SetSeriesShape(1, CDerivedGraphLabel::kLine, 0x800000, 0);
    window.SetChannelMask(1);
    window.AddPoint(10, 100, 200);
    ASSERT_EQ(graph->Series(1)->Container()->GetCount(), 1u);
    EXPECT_EQ(graph->Series(1)->Container()->GetPoint(0), std::make_pair(10.0, 100.0));

    window.SetSeriesShape(2, CDerivedGraphLabel::kLine, 0x0000FF, 0);
    window.SetChannelMask(3);
    graph->ClearSeries();
    window.AddPoint(15, 300, 400);
    EXPECT_EQ(graph->Series(1)->Container()->GetCount(), 1u);
    EXPECT_EQ((std::pair{graph->Series(1)->Container()->GetPoint(0), graph->Series(2)->Container()->GetPoint(0)}),
              (std::pair{std::pair{15.0, 300.0}, std::pair{15.0, 400.0}}));
    window.show();
    guitest::settle();
    for (int x = 20; x <= 100; x += 5) {
        window.AddPoint(x, 3000 + 40 * x, 50 + (x % 30));
        if (x % 15 == 0) guitest::settle();
    }
    guitest::settle();
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(window.widget()->winId()).toImage();
    EXPECT_TRUE(SameRegion(screen, QPoint(0, 0), *graph->Canvas(), QRect(0, 0, 708, 288)));
    EXPECT_TRUE(speedtest::SavePng(screen, QStringLiteral("window_graph_two_channels")));
}
